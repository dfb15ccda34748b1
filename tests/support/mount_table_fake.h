#pragma once
// A mount table and an fstab of the test's own: MountTablePath and DeclaredMountsPath point at
// files in a temporary folder while the fake lives, so a test mounts and unmounts by writing
// lines instead of needing the right to mount.

#include <fstream>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "util/unitMountTable.h"

class cFakeMountTable {
public:
    cFakeMountTable() : m_SavedTable(MountTablePath), m_SavedDeclared(DeclaredMountsPath) {
        MountTablePath = m_Folder / "mountinfo";
        DeclaredMountsPath = m_Folder / "fstab";
        Mount({"/"});
        Declare({});
    }
    ~cFakeMountTable() {
        MountTablePath = m_SavedTable;
        DeclaredMountsPath = m_SavedDeclared;
    }
    cFakeMountTable(const cFakeMountTable&) = delete;
    cFakeMountTable& operator=(const cFakeMountTable&) = delete;

    /// The table lists exactly these mount points (spaces written as the kernel escapes them).
    void Mount(const std::vector<std::string>& mountPoints) {
        std::ofstream table(MountTablePath, std::ios::trunc);
        int id = 20;
        for (const std::string& point : mountPoints) {
            table << id << " 1 0:" << id << " / " << Escaped(point)
                  << " rw,relatime shared:1 - tmpfs tmpfs rw\n";
            ++id;
        }
    }
    /// The fstab declares these mount points.
    void Declare(const std::vector<std::string>& mountPoints) {
        std::ofstream fstab(DeclaredMountsPath, std::ios::trunc);
        fstab << "# <file system> <mount point> <type> <options> <dump> <pass>\n";
        for (const std::string& point : mountPoints) {
            fstab << "nas:/music " << Escaped(point) << " nfs defaults 0 0\n";
        }
    }

private:
    static std::string Escaped(const std::string& path) {
        std::string text;
        for (const char c : path) {
            text += c == ' ' ? std::string("\\040") : std::string(1, c);
        }
        return text;
    }

    cTempFolder m_Folder;
    std::string m_SavedTable;
    std::string m_SavedDeclared;
};
