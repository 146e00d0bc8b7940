"""Resources of a PE image, found by type, id and language."""
import struct

import pefile


def _type_matches(entry, resource_type):
    if isinstance(resource_type, str):
        return entry.name is not None and str(entry.name) == resource_type
    return entry.name is None and entry.id == resource_type


def resources_of_type(pe, resource_type):
    """(id, language, data) for every resource of one type; the type is a name or a number."""
    found = []
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return found
    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if not _type_matches(type_entry, resource_type):
            continue
        for id_entry in type_entry.directory.entries:
            for language_entry in id_entry.directory.entries:
                data = language_entry.data.struct
                language = language_entry.data.lang | (language_entry.data.sublang << 10)
                found.append((id_entry.id, language, pe.get_data(data.OffsetToData, data.Size)))
    return found


def string_from_table(pe, string_id):
    """(text, language) of one string of the string table, or None."""
    block_id = string_id // 16 + 1
    for resource_id, language, data in resources_of_type(pe, pefile.RESOURCE_TYPE["RT_STRING"]):
        if resource_id != block_id:
            continue
        offset = 0
        for index in range(16):
            (length,) = struct.unpack_from("<H", data, offset)
            offset += 2
            if index == string_id % 16:
                return data[offset : offset + 2 * length].decode("utf-16-le"), language
            offset += 2 * length
    return None
