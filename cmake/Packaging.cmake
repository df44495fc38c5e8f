# The Debian package, made by tools/package (cpack -G DEB) from an ordinary
# build tree. Its paths are the install prefix's: configure with
# CMAKE_INSTALL_PREFIX=/usr (tools/build does) so that the helper and guide
# paths compiled into the programs are where the package puts them.
#
# lintian (run by tools/package when it is installed) reports no errors and
# no warnings. Of its notes, these stay:
#   package-contains-documentation-outside-usr-share-doc: the user guide is
#     what Help opens, and a program must not need /usr/share/doc to work.
#   hardening-no-bindnow, hardening-no-fortify-functions,
#   binary-has-unneeded-section: the programs are built with the project's
#     own flags, not dpkg-buildflags.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tarnwell developers")
set(CPACK_PACKAGE_CONTACT "The Tarnwell developers <developers@tarnwell.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "build and manage ZFS pools on Thunderbolt enclosures")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [[Tarnwell builds and manages ZFS pools (RAID sets) on four-bay Thunderbolt
enclosures. It finds the enclosures, lists their disks by bay, and drives
zpool to create, list, eject, mount, delete and repair pools, showing each
pool's health and the bay of each of its disks. It walks you through
replacing a failed disk.
.
Changes to pools run through a small helper started with pkexec.
`tarnwell --list` prints the pools and their disks without a window.]])
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tarnwell.org/")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})

# The libraries come from dpkg-shlibdeps (libqt6dbus6 for the health watch's
# desktop notifications among them); these are the programs Tarnwell runs.
# zpool comes from OpenZFS (contrib) or, where that is not to be had, zfs-fuse.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "pkexec, zfsutils-linux | zfs-fuse")
# udisksctl unmounts a disk's file systems before it is ejected (umount is the
# fallback); xdg-open shows the user guide.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udisks2, xdg-utils")

# The build is RelWithDebInfo; the package carries the programs without it.
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# No maintainer scripts: the desktop, icon cache, man-db and polkit pick up
# the new files through their own triggers and file watches.

include(CPack)
