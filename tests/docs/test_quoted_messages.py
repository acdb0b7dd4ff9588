"""The administrator's guides quote the product's messages as the screen
shows them: every installer text, verb line and event text taken from the
sources must appear verbatim in README.md, docs/ja/README.md and the shipped
package/README.txt (installer texts only there); and each of them lists
every exit code of a quiet installation."""

import pathlib
import re
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]

# The first insertion string of every event the companion reports; the
# warnings' further ones (a program, a path, an error) vary.
EVENT_INSERTION = "MERLOWSP"


def unescape(literal):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r", "t": "\t"}.get(m[1], m[1]), literal)


def source(path):
    return (ROOT / path).read_text(encoding="utf-8")


def installer_texts():
    return [unescape(m) for m in re.findall(
        r'inline constexpr char k\w+\[\] = "((?:[^"\\]|\\.)*)";', source("setup/messages.h"))]


def verb_texts():
    return [unescape(m) for m in re.findall(
        r'inline constexpr char kConsole\w+\[\] = "((?:[^"\\]|\\.)*)";', source("service/messages.h"))]


def event_texts():
    texts = re.findall(r"^Language=\w+\n(.*?)\n\.$", source("resources/event_messages.mc"),
                       re.MULTILINE | re.DOTALL)
    return [text.replace("%1", EVENT_INSERTION) for text in texts]


def screen_lines(text):
    """The lines a reader sees; a number shows where the text has %d, any
    placeholder where an event has %2 or later, the trailing blank and line
    end are invisible."""
    return [re.sub(r"%[2-9]", r"\\S+", re.escape(line.rstrip()).replace("%d", r"\d+"))
            for line in text.split("\n") if line.strip()]


def exit_codes():
    return [int(m) for m in re.findall(r"inline constexpr int kExit\w+ = (\d+);",
                                       source("setup/outcome.h"))]


def missing(texts, document):
    return [line for text in texts for line in screen_lines(text)
            if not re.search(line, document)]


class QuotedMessages(unittest.TestCase):
    def test_the_sources_hold_every_message(self):
        self.assertEqual(8, len(installer_texts()))
        self.assertEqual(6, len(verb_texts()))
        self.assertEqual(10, len(event_texts()))
        self.assertEqual([0, 10, 11, 12, 13, 14], exit_codes())

    def test_both_guides_quote_every_message_verbatim(self):
        texts = installer_texts() + verb_texts() + event_texts()
        for guide in ("README.md", "docs/ja/README.md"):
            with self.subTest(guide=guide):
                self.assertEqual([], missing(texts, source(guide)))

    def test_the_shipped_guide_quotes_the_installer_verbatim(self):
        guide = source("package/README.txt")
        self.assertEqual([], missing(installer_texts(), guide.replace("：N", "：0")))
        # Nothing in double quotes there that the installer never shows.
        lines = [line for text in installer_texts() for line in screen_lines(text)]
        for quoted in re.findall(r'"([^"\n]*[^\x00-\x7f][^"\n]*)"', guide.replace("：N", "：0")):
            with self.subTest(quoted=quoted):
                self.assertTrue(any(re.fullmatch(line, quoted) for line in lines))

    def test_every_guide_lists_every_exit_code_of_a_quiet_run(self):
        for guide in ("README.md", "docs/ja/README.md", "package/README.txt"):
            text = source(guide)
            self.assertIn("/quiet", text)
            for code in exit_codes() + [1001, 2000, 2001, 3000]:
                with self.subTest(guide=guide, code=code):
                    self.assertRegex(text, r"(?m)^ *(\| )?([0-9]+, )*%d\b" % code)

    def test_the_japanese_guide_is_utf8_and_points_back(self):
        guide = (ROOT / "docs/ja/README.md").read_bytes().decode("utf-8")
        self.assertIn("](../../README.md)", guide)
        self.assertIn("日本語版: [docs/ja/README.md](docs/ja/README.md)", source("README.md"))


if __name__ == "__main__":
    unittest.main()
