// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/model/FolderSnapshot.h"
#include "platform/FindRecord.h"
#include "platform/LocalFiles.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

// The baseline of the whole-tree watch: every watched file below the local
// folder by its relative path ('/' separators, no leading "./"), with the state
// it had when it was last read and the state it had when it was last sent. A
// file whose two states differ, or that was never sent, is "differing": the
// set of them is kept up to date as folders are read, so a tick that reads a
// few folders never looks at the rest. Memory grows with the tree.
class TreeSnapshot {
public:
    struct State {
        uint64_t size = 0;
        uint64_t time = 0;
        bool operator==(const State &) const = default;
    };
    struct File {
        State now;
        State sent;
        bool hasSent = false; // as it was at the snapshot or when last sent
    };
    struct Folder {
        std::map<std::string, File> files; // by name
        std::set<std::string> subfolders;  // names
        platform::FileIdentity identity;
    };

    // "folder/name", or the name alone in the top folder ("").
    static std::string Join(const std::string &folder, const std::string &name);
    // The folder part of a path ("" for a top-level name), and its depth (0 on top).
    static std::string Parent(const std::string &path);
    static int Depth(const std::string &path);
    // The name after the last '/'.
    static std::string BaseName(const std::string &path);

    void Clear();
    bool HasFolder(const std::string &folder) const { return m_folders.contains(folder); }
    const Folder *FindFolder(const std::string &folder) const;
    // The folder path that holds this real folder, or null.
    const std::string *FolderOf(const platform::FileIdentity &identity) const;

    // Records a read of `folder` (which need not be known yet): its qualifying
    // files and its sub-folder names. Files no longer there leave; new files
    // come as never sent, or as sent in their present state when `asBaseline`.
    // `added` gets the sub-folders that are new (to be read), `gone` every
    // folder that left with the sub-folders no longer there (all below them too).
    void SetFolder(const std::string &folder, const platform::FileIdentity &identity,
                   const std::vector<platform::FindRecord> &files, const std::vector<std::string> &subfolders,
                   bool asBaseline, std::vector<std::string> &added, std::vector<std::string> &gone);
    // Takes a folder and everything below it out; `gone` gets their paths.
    void RemoveFolder(const std::string &folder, std::vector<std::string> &gone);

    // The files to send, by path.
    const std::set<std::string> &Differing() const { return m_differing; }
    // After a pass: each file that was sent takes the state it was sent in
    // (sent: by path, as the transfers recorded them).
    void Rebase(const std::map<std::string, SnapshotEntry> &sent);

    size_t FileCount() const { return m_fileCount; }
    size_t FolderCount() const { return m_folders.size(); }
    std::vector<std::string> Folders() const;

private:
    void Mark(const std::string &path, const File &file);

    std::map<std::string, Folder> m_folders;
    std::map<platform::FileIdentity, std::string> m_byIdentity;
    std::set<std::string> m_differing;
    size_t m_fileCount = 0;
};

// The transfer order of a pass over tree paths: every other file first (in
// path order), then the "index.html" pages (ASCII case folded), deepest folder
// first.
std::vector<std::string> TreeUploadOrder(const std::set<std::string> &paths);
