#pragma once

// Shows a view (a header above rendered rows, or the empty-view picture
// when there are none) inside a scroll area, drawing only what is visible:
// a new result changes a few rows, and the whole tune is never composed
// into one picture just to be shown. composite() gives that picture when it
// is wanted (exports, tests). GUI thread.

#include <QPixmap>
#include <QWidget>

#include <map>
#include <vector>

class RowsView : public QWidget
{
    Q_OBJECT
public:
    explicit RowsView(QWidget* parent = nullptr);

    // Pixmaps are shared, not copied.
    void setContent(const QPixmap& header, const std::map<int, QPixmap>& rows, const QPixmap& emptyPicture);
    void clear();
    // Header and rows as one picture, as the view shows them.
    QPixmap composite() const;
    bool isEmpty() const { return mItems.empty(); }

    QSize sizeHint() const override { return mSize; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Item {
        int y;
        QPixmap pixmap;
    };
    std::vector<Item> mItems;
    QSize mSize;
};
