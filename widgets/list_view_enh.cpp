#include "widgets/list_view_enh.h"

#include "widgets/list_view.h"

namespace modListViewEnh {

bool EnhListView_SortColumns(ListView* list, int columnIndex) {
    if (!list) return false;
    if (list->rowCount() == 0) return true;
    if (columnIndex < 1 || columnIndex > list->channels()->columnCount()) {
        if (!list->sorted()) list->setSorted(true);
        return false;
    }
    list->setSortSettings(true, columnIndex - 1, list->sortOrder() == 0 ? 1 : 0);
    return true;
}

}  // namespace modListViewEnh
