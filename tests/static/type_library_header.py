"""The header of a compiled type library (the "MSFT" format): the library's
attributes, its identifier from the GUID table, its name and help string."""
import struct
import uuid

MAGIC = 0x5446534D  # "MSFT"
HEADER_FORMAT = "<21i"
HEADER_FIELDS = (
    "magic", "format_version", "guid_offset", "tool_locale", "locale", "system_flags", "version", "flags",
    "type_count", "help_string_offset", "help_string_context", "help_context", "name_count", "name_chars",
    "name_offset", "help_file_offset", "custom_data_offset", "reserved1", "reserved2", "dispatch_position",
    "import_count",
)
HAS_HELP_DLL = 0x100
SEGMENT_COUNT = 15
GUID_SEGMENT, NAME_SEGMENT, STRING_SEGMENT = 5, 7, 8


class TypeLibraryHeader:
    def __init__(self, data):
        values = struct.unpack_from(HEADER_FORMAT, data, 0)
        self.fields = dict(zip(HEADER_FIELDS, values))
        if self.fields["magic"] != MAGIC:
            raise ValueError("not a compiled type library")
        offset = struct.calcsize(HEADER_FORMAT)
        if self.fields["system_flags"] & HAS_HELP_DLL:
            offset += 4
        offset += 4 * self.fields["type_count"]  # the type descriptions' offsets
        self._segments = [struct.unpack_from("<2i", data, offset + 16 * i) for i in range(SEGMENT_COUNT)]
        self._data = data

    def _segment_start(self, index):
        return self._segments[index][0]

    @property
    def library_id(self):
        start = self._segment_start(GUID_SEGMENT) + self.fields["guid_offset"]
        return uuid.UUID(bytes_le=self._data[start : start + 16])

    @property
    def version(self):
        value = self.fields["version"]
        return value & 0xFFFF, (value >> 16) & 0xFFFF

    @property
    def system_kind(self):
        return self.fields["system_flags"] & 0xF

    @property
    def name(self):
        # Name entries: reference, next-in-hash, then a word whose low byte is the length.
        start = self._segment_start(NAME_SEGMENT) + self.fields["name_offset"]
        (length_word,) = struct.unpack_from("<i", self._data, start + 8)
        length = length_word & 0xFF
        return self._data[start + 12 : start + 12 + length].decode("ascii")

    @property
    def help_string(self):
        offset = self.fields["help_string_offset"]
        if offset < 0:
            return None
        start = self._segment_start(STRING_SEGMENT) + offset
        (length,) = struct.unpack_from("<H", self._data, start)
        return self._data[start + 2 : start + 2 + length].decode("ascii")
