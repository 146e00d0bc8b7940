"""The product's type library, version block and string table, read from the
i686 DLL's resources."""
import unittest
import uuid

import pefile

from dll_image import product_dll
from resource_data import resources_of_type, string_from_table
from type_library_header import TypeLibraryHeader

US_ENGLISH = 0x0409
SYS_WIN32 = 1
LIBFLAG_FRESTRICTED, LIBFLAG_FCONTROL, LIBFLAG_FHIDDEN = 0x1, 0x2, 0x4

VERSION_STRINGS = [
    ("Comments", "ZPLSound"),
    ("CompanyName", "ZIRPEL developers"),
    ("FileDescription", "ZIRPEL Module"),
    ("FileVersion", "1, 0, 0, 1"),
    ("InternalName", "ZIRPEL"),
    ("LegalCopyright", "Copyright (C) 2026 ZIRPEL developers"),
    ("LegalTrademarks", ""),
    ("OLESelfRegister", ""),
    ("OriginalFilename", "ZIRPEL.DLL"),
    ("PrivateBuild", ""),
    ("ProductName", "ZIRPEL Module"),
    ("ProductVersion", "1, 0, 0, 1"),
    ("SpecialBuild", ""),
]


class TypeLibraryResource(unittest.TestCase):
    def setUp(self):
        self.resources = resources_of_type(product_dll(), "TYPELIB")

    def test_is_the_one_typelib_resource_id_1_in_us_english(self):
        self.assertEqual([(resource_id, language) for resource_id, language, _ in self.resources], [(1, US_ENGLISH)])

    def test_header_declares_the_library(self):
        header = TypeLibraryHeader(self.resources[0][2])
        self.assertEqual(header.library_id, uuid.UUID("0E8B52C7-4D19-4A6E-B3F1-72C95A0D6E13"))
        self.assertEqual(header.version, (1, 0))
        self.assertEqual(header.system_kind, SYS_WIN32)
        self.assertEqual(header.fields["locale"], 0)
        self.assertEqual(header.fields["flags"] & (LIBFLAG_FRESTRICTED | LIBFLAG_FCONTROL | LIBFLAG_FHIDDEN), 0)
        self.assertEqual(header.fields["type_count"], 2)
        self.assertEqual(header.name, "ZIRPELLib")
        self.assertEqual(header.help_string, "ZIRPEL 1.0 Type Library")
        self.assertEqual(header.fields["import_count"], 1)  # IDispatch, from stdole2


class VersionBlock(unittest.TestCase):
    def test_fixed_part(self):
        fixed = product_dll().VS_FIXEDFILEINFO[0]
        self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS), (0x00010000, 0x00000001))
        self.assertEqual((fixed.ProductVersionMS, fixed.ProductVersionLS), (0x00010000, 0x00000001))
        self.assertEqual(fixed.FileFlagsMask, 0x3F)
        self.assertEqual(fixed.FileFlags, 0)
        self.assertEqual(fixed.FileOS, 0x4)
        self.assertEqual(fixed.FileType, 0x2)
        self.assertEqual(fixed.FileSubtype, 0)
        self.assertEqual((fixed.FileDateMS, fixed.FileDateLS), (0, 0))

    def test_strings_in_order_and_translation(self):
        tables, translations = [], []
        for info in product_dll().FileInfo[0]:
            if info.Key == b"StringFileInfo":
                tables.extend(info.StringTable)
            elif info.Key == b"VarFileInfo":
                translations.extend(var.entry for var in info.Var)
        self.assertEqual([table.LangID for table in tables], [b"040904b0"])
        strings = [(key.decode(), value.decode()) for key, value in tables[0].entries.items()]
        self.assertEqual(strings, VERSION_STRINGS)
        self.assertEqual(translations, [{b"Translation": "0x0409 0x04b0"}])

    def test_resource_is_version_1_in_us_english(self):
        found = resources_of_type(product_dll(), pefile.RESOURCE_TYPE["RT_VERSION"])
        self.assertEqual([(resource_id, language) for resource_id, language, _ in found], [(1, US_ENGLISH)])


class StringTable(unittest.TestCase):
    def test_string_100_is_zirpel_in_us_english(self):
        self.assertEqual(string_from_table(product_dll(), 100), ("ZIRPEL", US_ENGLISH))


if __name__ == "__main__":
    unittest.main()
