#pragma once

// The header that ties a studio or unit record to its line in the studio tree. The tree keeps a
// pointer to a tag as each line's data, and the model's selection is a pointer to one, so a tag
// must be able to lead back to its record: a studio and a unit *are* their tags (they derive from
// this), and a unit's light-name tag points at the unit through pParent.
struct TreeItemTag {
    // What kind of tree line shows the record.
    enum Kind : int {
        NotShown = -1,
        StudioLine = 0,
        UnitLine = 1,
        LightNameLine = 2,
    };

    int nItemKind = NotShown;
    // Opaque handle of the tree line; the tree view owns what it refers to.
    void* hTreeItem = nullptr;
    // Unit tag: its studio. Light-name tag: its unit. Studio tag: none.
    TreeItemTag* pParent = nullptr;
};
