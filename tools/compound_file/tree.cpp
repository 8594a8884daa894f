// A compound file's tree read whole, breadth first through the reader.
#include "compound_file/tree.h"

#include <utility>

namespace compound_file {

std::vector<TreeEntry> readTree(const Reader& file, const Entry* storage) {
    std::vector<TreeEntry> tree(1);
    tree[0].type = EntryType::Root;
    tree[0].clsid = storage ? storage->clsid : file.rootClass();
    // Each storage's index in the tree and its id in the file.
    std::vector<std::pair<size_t, uint32_t>> storages{{0, storage ? storage->id : 0}};
    for (size_t next = 0; next < storages.size(); ++next) {
        const size_t parent = storages[next].first;
        for (const Entry& entry : file.children(storages[next].second)) {
            TreeEntry item;
            item.name = entry.name;
            item.type = entry.type;
            item.parent = parent;
            if (entry.type == EntryType::Stream) {
                item.bytes = file.read(entry);
            } else {
                item.clsid = entry.clsid; // streams have none
                storages.emplace_back(tree.size(), entry.id);
            }
            tree.push_back(std::move(item));
        }
    }
    return tree;
}

} // namespace compound_file
