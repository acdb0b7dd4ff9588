"""The registry of a Session: through harness_tool while it runs, and its
registry files before it starts."""

import time


def append_registry(reg_file, key, values):
    """Adds a key to a stopped prefix's registry file (before the session starts).

    key is relative to the file's root (HKLM for system.reg, HKCU for user.reg);
    values maps names to strings.
    """
    lines = ["", "[%s] %d" % (key.replace("\\", "\\\\"), int(time.time()))]
    for name, data in values.items():
        lines.append('"%s"="%s"' % (name, data.replace("\\", "\\\\")))
    with open(reg_file, "a", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


class RegistryMixin:
    def reg_get(self, key, value):
        """(type, data bytes) of a value, or None when it is absent."""
        result = self.tool("regget", key, value, check=False)
        if result.rc != 0:
            return None
        kind, _, data = result.stdout.decode("ascii").strip().partition(" ")
        return int(kind), bytes.fromhex(data)

    def reg_set(self, key, value, kind, data):
        """kind: sz, expand, dword, multi (data: a list of str)."""
        if kind == "multi":
            self.tool("regset", key, value, kind, *data)
        else:
            self.tool("regset", key, value, kind, str(data))

    def reg_tree(self, key):
        """Every value below key as sorted (subkey path, name, type, hex data)
        rows, or None when the key does not exist."""
        result = self.tool("regdump", key, check=False)
        if result.rc != 0:
            return None
        return sorted(tuple(line.split("|", 3)) for line in
                      result.stdout.decode("cp932", "replace").splitlines())

    def reg_key_exists(self, key):
        return self.tool("regkey", key, check=False).rc == 0

    def reg_delete_tree(self, key):
        self.tool("regdel", key, check=False)
