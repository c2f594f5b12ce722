#pragma once
// Which folders of the folder tree were expanded, remembered across a rebuild of the tree: one entry
// per expanded node with the expanded nodes below it nested in its SubNodes.
#include <memory>
#include <string>
#include <vector>

struct TExpdNodeData;

class TExpdNodeList {
public:
    TExpdNodeList();
    ~TExpdNodeList();
    TExpdNodeList(const TExpdNodeList&) = delete;
    TExpdNodeList& operator=(const TExpdNodeList&) = delete;

    int Count() const { return static_cast<int>(FItems.size()); }
    // Null when Index is out of range.
    TExpdNodeData* Items(int Index) const;
    // A new entry with an empty SubNodes list, at the end.
    TExpdNodeData* Add(const std::string& Name);
    // Frees the entry and everything below it; an invalid index raises EListError.
    void Delete(int Index);
    // The first entry whose Name equals Name exactly (folder names are case-sensitive), or -1.
    int IndexOfName(const std::string& Name) const;
    void Clear();

private:
    std::vector<std::unique_ptr<TExpdNodeData>> FItems;
};

struct TExpdNodeData {
    std::string Name; // the folder's name (for a root of the tree, its path)
    TExpdNodeList SubNodes;
};
