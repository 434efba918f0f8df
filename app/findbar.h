// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;

namespace kavren::app {

// The grid's find bar: a line to type into, buttons for the next and the
// previous match, a short result text and a close button. It only reports
// what the user asks for; the search is done by whoever listens. Enter finds
// the next match, Shift+Enter the previous one, Esc closes the bar.
class FindBar final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FindBar)

public:
    explicit FindBar(QWidget* parent = nullptr);
    ~FindBar() override;

    QString text() const;
    QLineEdit* line() const { return m_line; }
    // Shows the bar with its text selected, ready to be typed over.
    void open();
    // "Not found", a note that the search went round, or nothing.
    void setResult(const QString& text);
    QString result() const;

Q_SIGNALS:
    void textEdited(const QString& text);
    void findNext();
    void findPrevious();
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void close();

    QLineEdit* m_line = nullptr;
    QToolButton* m_next = nullptr;
    QToolButton* m_previous = nullptr;
    QLabel* m_result = nullptr;
    QToolButton* m_close = nullptr;
};

}  // namespace kavren::app
