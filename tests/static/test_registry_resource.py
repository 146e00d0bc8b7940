"""LongBeep's registry script: the file in resources/ and the REGISTRY 101 resource of the DLL."""
import unittest

from dll_image import product_dll, source_path

SCRIPT_FILE = source_path("resources", "longbeep_registry_script.txt")
RUSSIAN = 0x0419


def resource_entries(pe, type_name):
    """(identifier, language, bytes) of every resource of a string type."""
    found = []
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.name is None or str(kind.name) != type_name:
            continue
        for name in kind.directory.entries:
            for language in name.directory.entries:
                data = language.data.struct
                found.append((name.id, language.id, pe.get_data(data.OffsetToData, data.Size)))
    return found


class ScriptFile(unittest.TestCase):
    def setUp(self):
        with open(SCRIPT_FILE, "rb") as handle:
            self.text = handle.read()

    def test_is_622_bytes_of_26_crlf_lines_without_zero_byte(self):
        self.assertEqual(len(self.text), 622)
        self.assertNotIn(b"\0", self.text)
        self.assertTrue(self.text.endswith(b"\r\n"))
        lines = self.text.split(b"\r\n")[:-1]
        self.assertEqual(len(lines), 26)
        for line in lines:
            self.assertNotIn(b"\r", line)
            self.assertNotIn(b"\n", line)
            self.assertFalse(line.startswith(b" "), line)

    def test_nesting_is_one_tab_per_level(self):
        depth = 0
        for line in self.text.split(b"\r\n")[:-1]:
            body = line.lstrip(b"\t")
            tabs = len(line) - len(body)
            if body == b"}":
                depth -= 1
            self.assertEqual(tabs, depth, line)
            if body == b"{":
                depth += 1
        self.assertEqual(depth, 0)


class RegistryResource(unittest.TestCase):
    def test_dll_holds_the_file_as_registry_101_in_russian(self):
        with open(SCRIPT_FILE, "rb") as handle:
            expected = handle.read()
        self.assertEqual(resource_entries(product_dll(), "REGISTRY"), [(101, RUSSIAN, expected)])


if __name__ == "__main__":
    unittest.main()
