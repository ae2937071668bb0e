#include "tools/lab/attribution.h"

#include <algorithm>

namespace lab {
namespace {

// Each entry that `from` and `to` hold differently is made as `to` holds it.
template <typename Map> void Apply(const Map& from, const Map& to, Map* target) {
    for (const auto& [key, value] : to) {
        auto old = from.find(key);
        if (old == from.end() || old->second != value)
            (*target)[key] = value;
    }
    for (const auto& entry : from) {
        if (!to.count(entry.first))
            target->erase(entry.first);
    }
}

void ApplyKeys(const std::set<std::string>& from, const std::set<std::string>& to,
               std::set<std::string>* target) {
    for (const std::string& key : to)
        if (!from.count(key))
            target->insert(key);
    for (const std::string& key : from)
        if (!to.count(key))
            target->erase(key);
}

// Lists in order (started programs, RENAME entries): what the other command added is there,
// what it took away is gone.
void ApplyList(const std::vector<std::string>& from, const std::vector<std::string>& to,
               std::vector<std::string>* target) {
    std::vector<std::string> remaining = from;
    for (const std::string& entry : to) {
        auto it = std::find(remaining.begin(), remaining.end(), entry);
        if (it != remaining.end())
            remaining.erase(it);
        else
            target->push_back(entry);
    }
    for (const std::string& gone : remaining) {
        auto it = std::find(target->begin(), target->end(), gone);
        if (it != target->end())
            target->erase(it);
    }
}

// A printer's words piece by piece: the other command's pieces replace those it changed.
void ApplyDevices(const std::map<std::string, std::string>& from,
                  const std::map<std::string, std::string>& to,
                  std::map<std::string, std::string>* target) {
    for (const auto& [instance, words] : to) {
        auto old = from.find(instance);
        auto mine = target->find(instance);
        if (old == from.end() || mine == target->end()) {
            (*target)[instance] = words;
            continue;
        }
        std::vector<std::string> pieces = WordPieces(mine->second);
        ApplyList(WordPieces(old->second), WordPieces(words), &pieces);
        std::string joined;
        for (const std::string& piece : pieces)
            joined += (joined.empty() ? "" : ", ") + piece;
        mine->second = joined;
    }
}

} // namespace

Snapshot WithChangesOf(Snapshot before, const std::vector<CommandRecord>& during) {
    for (const CommandRecord& other : during) {
        ApplyKeys(other.before.keys, other.after.keys, &before.keys);
        Apply(other.before.values, other.after.values, &before.values);
        Apply(other.before.files, other.after.files, &before.files);
        ApplyList(other.before.journal, other.after.journal, &before.journal);
        ApplyList(other.before.renames, other.after.renames, &before.renames);
        ApplyDevices(other.before.devices, other.after.devices, &before.devices);
    }
    return before;
}

} // namespace lab
