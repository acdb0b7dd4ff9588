"""Wine harness: the test Windows on which the real executables run.

    prefix      the template prefix, its clones and what dead runs left
    session     Session, a clone with its own wineserver, composed of
    scm, registry, processes, events, display, serial: its parts by concern
    proxies     shipped executables with a test-only proxy DLL
    facts       what tests, soak and demo know of the product alike
    __main__    the command line for CTest and the Makefile

Tests import the package and use what is named here; facts they import
from harness.facts.
"""

from .display import read_box_spy
from .prefix import SOURCE_DIR, build_dir, fixture_path, product_path
from .processes import end_process, wait_until
from .proxies import (install_box_spy, install_dependency_substitute, install_scm_refusal,
                      install_with_proxy)
from .session import Result, Session, hex_argument

__all__ = ["SOURCE_DIR", "Result", "Session", "build_dir", "end_process", "fixture_path",
           "hex_argument", "install_box_spy", "install_dependency_substitute",
           "install_scm_refusal", "install_with_proxy", "product_path", "read_box_spy",
           "wait_until"]
