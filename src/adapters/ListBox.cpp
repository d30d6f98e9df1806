#include "ListBox.h"

#include "common/Errors.h"

namespace tolvane {

void ListBox::addItem(std::string text)
{
    m_rows.push_back(std::move(text));
}

void ListBox::clear()
{
    m_rows.clear();
    m_selected = -1;
}

std::string ListBox::item(int row) const
{
    return row >= 0 && row < count() ? m_rows[static_cast<std::size_t>(row)] : std::string();
}

void ListBox::setSelectedIndex(int row)
{
    if (row < -1 || row >= count())
        throw StepError("Invalid property value");
    m_selected = row;
}

} // namespace tolvane
