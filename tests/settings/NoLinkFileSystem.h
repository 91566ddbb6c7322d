#pragma once
// A file system without hard links or an exclusive rename, as some network
// and FUSE file systems are, for the code of this test program while one of
// these lives: link() and linkat() fail with EPERM, renameat2() with
// RENAME_NOREPLACE with EINVAL, as an LD_PRELOAD shim would make them fail
// for a whole program.

class NoLinkFileSystem {
public:
  NoLinkFileSystem();
  ~NoLinkFileSystem();
  NoLinkFileSystem(const NoLinkFileSystem&) = delete;
  NoLinkFileSystem& operator=(const NoLinkFileSystem&) = delete;
};
