#pragma once
// The sort step of a header click: the same column again reverses the rows, another column
// sorts by it with the direction flag set.
namespace Vorlaq {

class SortState {
public:
    enum class Action { None, Sort, Reverse };

    void Enable(bool on) { enabled_ = on; }
    // The rows were replaced: no column is the sort column, and no header shows a marker.
    void Forget()
    {
        column_ = -1;
        direction_ = true;
    }
    bool Enabled() const { return enabled_; }
    int Column() const { return column_; }     // identity index, -1 before the first sort
    bool Direction() const { return direction_; }  // true: down arrow (greatest first)

    // A click on the column with this identity; headerShown false means no header to click.
    Action Click(int columnIndex, bool headerShown)
    {
        if (!enabled_ || !headerShown || columnIndex < 0)
            return Action::None;
        if (columnIndex == column_) {
            direction_ = !direction_;
            return Action::Reverse;
        }
        direction_ = true;
        column_ = columnIndex;
        return Action::Sort;
    }

private:
    bool enabled_ = false;
    int column_ = -1;
    bool direction_ = true;
};

}  // namespace Vorlaq
