#include "tools/lab/nearest_name.h"

#include <algorithm>

namespace lab {
namespace {

size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

std::string Nearest(const std::vector<std::string>& names, const std::string& typo) {
    std::string best;
    size_t bestDistance = 3;
    for (const std::string& name : names) {
        size_t distance = EditDistance(typo, name);
        if (distance < bestDistance) {
            best = name;
            bestDistance = distance;
        }
    }
    return best;
}

std::string NearestCommand(CLI::App& app, const std::string& typo) {
    std::vector<std::string> names;
    for (const CLI::App* command : app.get_subcommands({}))
        names.push_back(command->get_name());
    return Nearest(names, typo);
}

} // namespace lab
