"""pyftpdlib on a file system that folds names, as some servers' do.

    /usr/bin/python3 FoldingFtpd.py windows|full [pyftpdlib's own options]

windows: letter case is ignored, and each name's trailing dots and blanks
are dropped, as on a server on Windows. full: each name is taken by its
Unicode full case folding (str.casefold(): "Straße" is "strasse", "ﬁle" is
"file"), as on a case-folding file system.

Each name of a path given to the server means the entry of its folder whose
name folds alike, when there is one: a file stored under a new name that
folds as an existing one replaces that one and keeps its name.
"""

import os
import sys

from pyftpdlib import __main__ as pyftpdlib_main
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler

# name -> (its folded form, the name a new entry is stored as)
FOLDINGS = {
    "windows": (lambda name: name.rstrip(". ").lower(), lambda name: name.rstrip(". ")),
    "full": (lambda name: name.casefold(), lambda name: name),
}


class FoldingFS(AbstractedFS):
    fold = None
    stored_as = None

    def ftp2fs(self, ftppath):
        path = super().ftp2fs(ftppath)
        root = os.path.normpath(self.root)
        below = os.path.relpath(path, root)
        if below == os.curdir or below.split(os.sep)[0] == os.pardir:
            return path
        out = root
        for name in below.split(os.sep):
            out = os.path.join(out, self._entry(out, name))
        return out

    def _entry(self, folder, name):
        try:
            entries = os.listdir(folder)
        except OSError:
            entries = []
        if name in entries:
            return name
        key = FoldingFS.fold(name)
        for entry in entries:
            if FoldingFS.fold(entry) == key:
                return entry
        return FoldingFS.stored_as(name)


def main():
    if len(sys.argv) < 2 or sys.argv[1] not in FOLDINGS:
        sys.exit("usage: FoldingFtpd.py windows|full [pyftpdlib options]")
    FoldingFS.fold, FoldingFS.stored_as = FOLDINGS[sys.argv.pop(1)]
    FTPHandler.abstracted_fs = FoldingFS
    pyftpdlib_main.main()


if __name__ == "__main__":
    main()
