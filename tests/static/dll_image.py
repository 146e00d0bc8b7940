"""The i686 product DLL, opened once for every static check."""
import functools
import os

import pefile


@functools.lru_cache(maxsize=None)
def product_dll():
    return pefile.PE(os.environ["ZIRPEL_DLL"])


def source_path(*parts):
    return os.path.join(os.environ["ZIRPEL_SOURCE"], *parts)


def export_names(pe):
    return sorted(symbol.name.decode() for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols)


def imported_dlls(pe):
    return sorted(entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT)
