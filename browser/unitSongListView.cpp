#include "browser/unitSongListView.h"

#include <algorithm>

#include "catalogue/unitSongQuery.h"
#include "util/unitUtils.h"

bool ViewCriteria(int groupViewMode, const std::string& selectedGroup, int viewMode,
                  const std::string& selectedFolderPath, std::vector<SongCriterion>& criteria) {
    criteria.clear();
    if (groupViewMode == kGroupOne) {
        criteria.push_back(MakeCriterion(kFieldGroups, kOpContains, selectedGroup));
    } else if (groupViewMode == kGroupNone) {
        criteria.push_back(MakeCriterion(kFieldGroups, kOpIs, ""));
    }
    if (viewMode == kViewEntireCollection) {
        return true;
    }
    if (selectedFolderPath.empty()) {
        // No folder: an empty folder text would match nothing sensible ("begins with" an
        // empty text matches nothing, "is" empty only songs without a folder).
        return false;
    }
    const std::string folder = StripTrailingBackslash(selectedFolderPath);
    criteria.push_back(MakeCriterion(
        kFieldFolder, viewMode == kViewSelectedFolderRecursively ? kOpBeginsWith : kOpIs, folder));
    return true;
}

std::string FilterLabel(int groupViewMode, const std::string& selectedGroup) {
    switch (groupViewMode) {
    case kGroupOne:
        return selectedGroup;
    case kGroupNone:
        return std::string(kOnlyUngroupedCaption);
    default:
        return std::string(kAllFileGroupsCaption);
    }
}

std::string ActiveGroupCaption(int groupViewMode, const std::string& selectedGroup, int viewMode) {
    const int mode = ModeOrDefault(viewMode, kViewSelectedFolder);
    return " " + FilterLabel(groupViewMode, selectedGroup) + " " +
           std::string(kViewModeBandTexts[mode]);
}

int ModeOrDefault(int storedValue, int defaultValue) {
    return storedValue >= 0 && storedValue <= 2 ? storedValue : defaultValue;
}

std::vector<int> SharedColumnWidths(const std::vector<int>& widths,
                                    const std::vector<bool>& autoSized, int clientWidth,
                                    int minimumWidth) {
    std::vector<int> result = widths;
    int fixedWidth = 0;
    int sharers = 0;
    for (size_t i = 0; i < widths.size(); ++i) {
        if (i < autoSized.size() && autoSized[i]) {
            ++sharers;
        } else {
            fixedWidth += widths[i];
        }
    }
    if (sharers == 0) {
        return result;
    }
    const int free = std::max(0, clientWidth - fixedWidth);
    const int share = free / sharers;
    int remainder = free % sharers;
    for (size_t i = 0; i < widths.size(); ++i) {
        if (i < autoSized.size() && autoSized[i]) {
            result[i] = std::max(minimumWidth, share + remainder);
            remainder = 0;
        }
    }
    return result;
}
