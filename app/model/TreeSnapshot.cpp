// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/TreeSnapshot.h"

#include "app/model/PathRules.h"

#include <algorithm>

std::string TreeSnapshot::Join(const std::string &folder, const std::string &name)
{
    return folder.empty() ? name : folder + "/" + name;
}

std::string TreeSnapshot::Parent(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

int TreeSnapshot::Depth(const std::string &path)
{
    return static_cast<int>(std::count(path.begin(), path.end(), '/'));
}

std::string TreeSnapshot::BaseName(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void TreeSnapshot::Clear()
{
    m_folders.clear();
    m_byIdentity.clear();
    m_differing.clear();
    m_fileCount = 0;
}

const TreeSnapshot::Folder *TreeSnapshot::FindFolder(const std::string &folder) const
{
    const auto found = m_folders.find(folder);
    return found == m_folders.end() ? nullptr : &found->second;
}

const std::string *TreeSnapshot::FolderOf(const platform::FileIdentity &identity) const
{
    const auto found = m_byIdentity.find(identity);
    return found == m_byIdentity.end() ? nullptr : &found->second;
}

void TreeSnapshot::Mark(const std::string &path, const File &file)
{
    if (!file.hasSent || file.now != file.sent)
        m_differing.insert(path);
    else
        m_differing.erase(path);
}

void TreeSnapshot::SetFolder(const std::string &folder, const platform::FileIdentity &identity,
                             const std::vector<platform::FindRecord> &files,
                             const std::vector<std::string> &subfolders, bool asBaseline,
                             std::vector<std::string> &added, std::vector<std::string> &gone)
{
    Folder &entry = m_folders[folder];
    if (entry.identity != identity) {
        const auto owner = m_byIdentity.find(entry.identity);
        if (owner != m_byIdentity.end() && owner->second == folder)
            m_byIdentity.erase(owner);
        entry.identity = identity;
    }
    m_byIdentity[identity] = folder;

    std::map<std::string, File> next;
    for (const platform::FindRecord &record : files) {
        File file;
        const auto known = entry.files.find(record.name);
        if (known != entry.files.end())
            file = known->second;
        file.now = {record.size, record.lastWriteTime};
        if (asBaseline) {
            file.sent = file.now;
            file.hasSent = true;
        }
        Mark(Join(folder, record.name), file);
        next.emplace(record.name, file);
    }
    for (const auto &[name, file] : entry.files)
        if (!next.contains(name))
            m_differing.erase(Join(folder, name));
    m_fileCount = m_fileCount - entry.files.size() + next.size();
    entry.files = std::move(next);

    const std::set<std::string> now(subfolders.begin(), subfolders.end());
    std::vector<std::string> left;
    for (const std::string &name : entry.subfolders)
        if (!now.contains(name))
            left.push_back(name);
    for (const std::string &name : now)
        if (!entry.subfolders.contains(name) || !m_folders.contains(Join(folder, name)))
            added.push_back(Join(folder, name));
    entry.subfolders = now;
    for (const std::string &name : left)
        RemoveFolder(Join(folder, name), gone);
}

void TreeSnapshot::RemoveFolder(const std::string &folder, std::vector<std::string> &gone)
{
    if (!m_folders.contains(folder))
        return;
    // The folder and everything below it: the paths that start with "folder/"
    // sort together.
    std::vector<std::string> victims{folder};
    const std::string prefix = folder.empty() ? std::string() : folder + "/";
    for (auto it = m_folders.lower_bound(prefix); it != m_folders.end() && it->first.starts_with(prefix);
         ++it)
        if (it->first != folder)
            victims.push_back(it->first);
    for (const std::string &path : victims) {
        const auto it = m_folders.find(path);
        for (const auto &[name, file] : it->second.files)
            m_differing.erase(Join(path, name));
        m_fileCount -= it->second.files.size();
        const auto owner = m_byIdentity.find(it->second.identity);
        if (owner != m_byIdentity.end() && owner->second == path)
            m_byIdentity.erase(owner);
        m_folders.erase(it);
        gone.push_back(path);
    }
    if (!folder.empty()) {
        const auto up = m_folders.find(Parent(folder));
        if (up != m_folders.end())
            up->second.subfolders.erase(BaseName(folder));
    }
}

void TreeSnapshot::Rebase(const std::map<std::string, SnapshotEntry> &sent)
{
    for (const auto &[path, state] : sent) {
        const auto folder = m_folders.find(Parent(path));
        if (folder == m_folders.end())
            continue;
        const auto file = folder->second.files.find(BaseName(path));
        if (file == folder->second.files.end())
            continue;
        file->second.sent = {state.Size(), state.WriteTime()};
        file->second.hasSent = true;
        Mark(path, file->second);
    }
}

std::vector<std::string> TreeSnapshot::Folders() const
{
    std::vector<std::string> folders;
    folders.reserve(m_folders.size());
    for (const auto &[path, folder] : m_folders)
        folders.push_back(path);
    return folders;
}

std::vector<std::string> TreeUploadOrder(const std::set<std::string> &paths)
{
    std::vector<std::string> order;
    std::vector<std::string> pages;
    order.reserve(paths.size());
    for (const std::string &path : paths) {
        if (AsciiLower(TreeSnapshot::BaseName(path)) == "index.html")
            pages.push_back(path);
        else
            order.push_back(path);
    }
    std::stable_sort(pages.begin(), pages.end(), [](const std::string &a, const std::string &b) {
        return TreeSnapshot::Depth(a) > TreeSnapshot::Depth(b);
    });
    order.insert(order.end(), pages.begin(), pages.end());
    return order;
}
