// remote.cpp - the file systems whose files change unseen by this kernel.
//
// The network's, the cluster's, and FUSE, behind which sshfs, rclone,
// virtiofs and the shares of virtual machines stand.
#include "notify.h"

#include <errno.h>
#include <sys/vfs.h>

// statfs's f_type of each, one line a file system. The numbers are those
// of the kernel's <linux/magic.h>, GFS2's of <linux/gfs2_ondisk.h>, and
// for the file systems whose numbers the kernel's headers lack (marked *),
// those of their own headers.
static const unsigned long REMOTE[] = {
	0x6969,      // NFS
	0x517b,      // SMB
	0xff534d42,  // CIFS
	0xfe534d42,  // SMB2
	0x01021997,  // 9P: WSL2's drives, QEMU's shares
	0x65735546,  // FUSE
	0x00c36400,  // Ceph
	0x0bd00bd0,  // Lustre *
	0x47504653,  // GPFS *
	0x5346414f,  // AFS
	0x6b414653,  // kAFS
	0x7461636f,  // OCFS2
	0x01161970,  // GFS2
	0x786f4256,  // VirtualBox shared folders *
	0x73757245,  // Coda
	0x564c,      // NCP
	0x013111a8,  // IBRIX *
	0x19830326,  // FhGFS / BeeGFS *
	0x53464846,  // WSL1's drvfs *
};

// Whether the file system the path leads to is one of them. One that
// cannot be asked because the path is gone is taken for a local one; where
// the kernel refuses to be asked (a seccomp filter), any file system may be
// one, and the looks keep the wait.
bool IsRemote(const char *path)
{
	struct statfs fs;
	if (statfs(path, &fs) != 0)
		return errno == ENOSYS || errno == EPERM;
	for (unsigned long magic : REMOTE)
		if (static_cast<unsigned long>(fs.f_type) == magic)
			return true;
	return false;
}
