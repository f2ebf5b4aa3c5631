#!/usr/bin/python3
"""Reads sarvik.dll back with a PE reader: what the host and Windows see of the file itself.

Usage: dll_shape.py DLL i686|x86_64 (the build the file must come from)."""
import os
import re
import sys

import pefile

EXPORTS = sorted("""ApiGetPluginInfo ApiOpen ApiClose ApiFindFirst ApiFindNext ApiExecute
ApiExecute2 ApiIntCopyTo ApiCopyFrom ApiCopyTo ApiMove ApiCreateDirectory ApiDelete
ApiRemoveDirectory ApiRename ApiShowContextMenu""".split())
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "ole32.dll", "oleaut32.dll", "msvcrt.dll",
               "advapi32.dll"}
# The version as plugin/version.h gives it to the resource script and the code.
with open(os.path.join(os.path.dirname(__file__), "..", "plugin", "version.h")) as header:
    defined = dict(re.findall(r"#define SARVIK_VERSION_(\w+) (\S+)", header.read()))
VERSION = [int(defined[part]) for part in ("MAJOR", "MINOR", "PATCH", "BUILD")]
TEXT = defined["TEXT"].strip('"')
STRINGS = {"FileDescription": "sarvik", "FileVersion": TEXT, "InternalName": "sarvik",
           "OriginalFilename": "sarvik.dll", "ProductVersion": TEXT}

failures = []


def check(condition, what):
    print(("ok    " if condition else "FAIL  ") + what)
    if not condition:
        failures.append(what)


# Machine and optional-header magic of each build.
BUILDS = {"i686": (0x14C, 0x10B, "PE32 for i386"), "x86_64": (0x8664, 0x20B, "PE32+ for AMD64")}
machine, magic, kind = BUILDS[sys.argv[2]]
pe = pefile.PE(sys.argv[1])
check(pe.FILE_HEADER.Machine == machine and pe.OPTIONAL_HEADER.Magic == magic, kind)
check(pe.is_dll(), "a DLL")
exports = pe.DIRECTORY_ENTRY_EXPORT
names = sorted(s.name.decode() for s in exports.symbols if s.name)
check(names == EXPORTS, "exactly the sixteen entry points by plain name: %s" % names)
check(len(exports.symbols) == 16, "no export without a name")
check(pe.get_string_at_rva(exports.struct.Name) == b"sarvik.dll", "export directory names sarvik.dll")
imports = {e.dll.decode().lower() for e in pe.DIRECTORY_ENTRY_IMPORT}
check(imports <= SYSTEM_DLLS, "imports system DLLs only: %s" % sorted(imports))

resources = {}
for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
    for name in kind.directory.entries:
        for language in name.directory.entries:
            resources[(kind.id, name.id)] = language.id
check(resources.get((16, 1)) == 1033, "version resource ID 1 under language 1033")
check(resources.get((24, 2)) == 1033, "manifest ID 2 under language 1033")

fixed = pe.VS_FIXEDFILEINFO[0]
packed = (VERSION[0] << 16 | VERSION[1], VERSION[2] << 16 | VERSION[3])
check(TEXT == "%d.%d.%d.%d" % tuple(VERSION), "the header's version text matches its numbers")
check((fixed.FileVersionMS, fixed.FileVersionLS) == packed, "file version " + TEXT)
check((fixed.ProductVersionMS, fixed.ProductVersionLS) == packed, "product version " + TEXT)
check((fixed.FileFlagsMask, fixed.FileFlags) == (0x3F, 0x1), "flags mask 0x3F, flags 0x1")
check((fixed.FileOS, fixed.FileType, fixed.FileSubtype, fixed.FileDateMS, fixed.FileDateLS)
      == (0, 0, 0, 0, 0), "operating system, type, subtype and date 0")
tables = [t for info in pe.FileInfo[0] if info.Key == b"StringFileInfo" for t in info.StringTable]
check([t.LangID for t in tables] == [b"041104b0"], "one string block, 041104b0")
if tables:
    entries = {k.decode(): v.decode() for k, v in tables[0].entries.items()}
    for key, value in STRINGS.items():
        check(entries.get(key) == value, "%s = %s" % (key, value))
    check(bool(entries.get("LegalCopyright")) and bool(entries.get("ProductName")),
          "a legal notice and a product name")
    check(list(entries)[:7] == ["FileDescription", "FileVersion", "InternalName", "LegalCopyright",
                                "OriginalFilename", "ProductName", "ProductVersion"],
          "strings in their order")
translations = [v for info in pe.FileInfo[0] if info.Key == b"VarFileInfo" for v in info.Var]
check(any(v.entry.get(b"Translation") == "0x0411 0x04b0" for v in translations),
      "translation 0x0411 / 1200")
manifest = pe.get_data(pe.DIRECTORY_ENTRY_RESOURCE.entries[-1].directory.entries[0]
                       .directory.entries[0].data.struct.OffsetToData, 400)
check(b'level="asInvoker"' in manifest and b'uiAccess="false"' in manifest, "asInvoker manifest")

sys.exit(1 if failures else 0)
