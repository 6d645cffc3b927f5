#pragma once
// Navigation bar on the left of the main window: one collapsible page per
// command page, each a column of large icon-over-caption buttons. Buttons
// follow their action (caption, icon, enabled state) and trigger it.
#include <QIcon>
#include <QList>
#include <QToolButton>
#include <QWidget>

class QAction;
class QScrollArea;
class QVBoxLayout;

class TOvOutlineButton : public QToolButton
{
    Q_OBJECT
public:
    explicit TOvOutlineButton(QWidget *parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QRect textRect(int width) const;
    bool m_hover = false;
};

// Header of one page of the outline bar.
class TOvOutlineHeader : public QToolButton
{
    Q_OBJECT
public:
    explicit TOvOutlineHeader(QWidget *parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

class TOvOutlineBar : public QWidget
{
    Q_OBJECT
public:
    explicit TOvOutlineBar(QWidget *parent = nullptr);

    void clear();
    int addPage(const QString &caption, const QIcon &icon = {}, bool enabled = true);
    TOvOutlineButton *addButton(int page, QAction *action);
    int pageCount() const { return int(m_pages.size()); }
    QString pageCaption(int page) const;
    TOvOutlineHeader *pageHeader(int page) const;
    QList<TOvOutlineButton *> buttons(int page) const;
    // Opens one page (the others fold up to their headers).
    void setCurrentPage(int page);
    int currentPage() const { return m_current; }

    static constexpr int IconSize = 32;

signals:
    void currentPageChanged(int page);

private:
    struct Page
    {
        TOvOutlineHeader *header;
        QScrollArea *area;
        QVBoxLayout *column;
    };
    QVBoxLayout *m_layout = nullptr;
    QList<Page> m_pages;
    int m_current = -1;
};
