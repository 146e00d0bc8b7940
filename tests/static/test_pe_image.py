"""The product is a PE32 DLL for i386 that imports system DLLs only."""
import unittest

import pefile

from dll_image import export_names, imported_dlls, product_dll

# What the product may import: the platform's own DLLs and its C runtime.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "ole32.dll", "oleaut32.dll", "msvcrt.dll"}
EXPECTED_EXPORTS = ["DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"]


class PeImage(unittest.TestCase):
    def test_is_pe32_dll_for_i386(self):
        pe = product_dll()
        self.assertEqual(pe.FILE_HEADER.Machine, pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"])
        self.assertEqual(pe.OPTIONAL_HEADER.Magic, pefile.OPTIONAL_HEADER_MAGIC_PE)
        self.assertTrue(pe.FILE_HEADER.Characteristics & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_DLL"])

    def test_exports_exactly_the_entry_points_undecorated(self):
        names = export_names(product_dll())
        for name in names:
            self.assertNotIn("@", name)
            self.assertFalse(name.startswith("_"), name)
        self.assertEqual(names, sorted(EXPECTED_EXPORTS))

    def test_imports_system_dlls_only(self):
        dlls = set(imported_dlls(product_dll()))
        self.assertTrue(dlls <= SYSTEM_DLLS, f"unexpected imports: {sorted(dlls - SYSTEM_DLLS)}")
        for dll in dlls:
            self.assertNotRegex(dll, r"libstdc\+\+|libgcc|winpthread")


if __name__ == "__main__":
    unittest.main()
