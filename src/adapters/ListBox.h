#pragma once

#include <string>
#include <vector>

namespace tolvane {

// A list box as the adapter window keeps it: unsorted rows in the order they were added, at most
// one selected row, and tab stops in dialog units.
class ListBox final {
public:
    void addItem(std::string text);
    // Removes every row; the selection goes with them.
    void clear();

    int count() const { return static_cast<int>(m_rows.size()); }
    // The row's text; past the end of the list there is no row and the text is empty.
    std::string item(int row) const;

    // -1 when no row is selected.
    int selectedIndex() const { return m_selected; }
    // Selects a row, or none with -1; any other position outside the list throws StepError.
    void setSelectedIndex(int row);

    const std::vector<int>& tabStops() const { return m_tabStops; }
    // Replaces every tab stop; none means the list's default stops.
    void setTabStops(std::vector<int> stops) { m_tabStops = std::move(stops); }

private:
    std::vector<std::string> m_rows;
    int m_selected = -1;
    std::vector<int> m_tabStops;
};

} // namespace tolvane
