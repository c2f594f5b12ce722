#include "browser/ExpdNdeLst.h"

#include "platform/SysUtils.h"

TExpdNodeList::TExpdNodeList() = default;
TExpdNodeList::~TExpdNodeList() = default;

TExpdNodeData* TExpdNodeList::Items(int Index) const
{
    return Index >= 0 && Index < Count() ? FItems[static_cast<size_t>(Index)].get() : nullptr;
}

TExpdNodeData* TExpdNodeList::Add(const std::string& Name)
{
    FItems.push_back(std::make_unique<TExpdNodeData>());
    FItems.back()->Name = Name;
    return FItems.back().get();
}

void TExpdNodeList::Delete(int Index)
{
    if (Index < 0 || Index >= Count())
        throw EListError(Format("List index out of bounds (%d)", Index));
    FItems.erase(FItems.begin() + Index);
}

int TExpdNodeList::IndexOfName(const std::string& Name) const
{
    for (int I = 0; I < Count(); ++I)
        if (FItems[static_cast<size_t>(I)]->Name == Name)
            return I;
    return -1;
}

void TExpdNodeList::Clear()
{
    FItems.clear();
}
