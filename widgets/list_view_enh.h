#pragma once
// Column sorting shared by the channel list and the favourites list.
class ListView;

namespace modListViewEnh {

// Sorts `list` by the column with the 1-based index `columnIndex`, toggling the direction on
// every call whichever column it names. A list without rows is left as it was. Returns false
// when a step failed (a column that does not exist); never shows a message.
bool EnhListView_SortColumns(ListView* list, int columnIndex);

}  // namespace modListViewEnh
