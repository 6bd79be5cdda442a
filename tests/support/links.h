// Symbolic links for tests, made the Unix way on both hosts: with symlink()
// at the simulated host's POSIX path, and under Wine by running ln on the
// prefix's Unix path (Wine 8 has no working CreateSymbolicLink; its
// enumeration reports a Unix link to a folder as 0x410).
#pragma once

#include <string>
#include <vector>

// False where links can't be made (a Wine without its Unix-name call).
bool CanMakeLinks();
void MakeLink(const std::string &target, const std::string &link);
// A link to a Unix path that no drive letter names, such as /dev/full.
void MakeUnixLink(const std::string &unixTarget, const std::string &link);
void RemoveLink(const std::string &link);

// Links are taken away again by the test itself: a host reset never walks
// into (or through) one.
struct Links {
    std::vector<std::string> made;
    void Make(const std::string &target, const std::string &link);
    ~Links();
};
