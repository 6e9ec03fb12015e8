// Finding items of a view by objectName, for the Qt Quick tests.
.pragma library

// The first item named `name` in the tree below `item` (children, then a control's content).
function find(item, name) {
    if (!item)
        return null;
    if (item.objectName === name)
        return item;
    var children = item.children || [];
    for (var i = 0; i < children.length; ++i) {
        var found = find(children[i], name);
        if (found)
            return found;
    }
    if (item.contentItem && item.contentItem !== item)
        return find(item.contentItem, name);
    return null;
}
