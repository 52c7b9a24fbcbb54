// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QEventLoop;

namespace ui {

// A top-level window that can be shown modeless or modally. Closing asks
// closeQuery() first and then calls closed(); a modal run ends when the window
// closes or a modal result is set.
class Form : public QWidget {
    Q_OBJECT
public:
    enum ModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

    explicit Form(QWidget *parent = nullptr);
    ~Form() override;

    // Shows the window modally and returns its modal result (mrCancel when closed
    // without one).
    int showModal();
    bool isModalRunning() const { return m_loop != nullptr; }
    int modalResult() const { return m_modalResult; }
    // A non-zero result closes a modal window.
    void setModalResult(int result);

    void setStayOnTop(bool onTop);
    void setFixedBorder(bool fixed, int width, int height);
    // Removes the close box of the title bar.
    void setNoCloseBox();

signals:
    // Emitted after a close request was accepted and closed() ran.
    void formClosed();

protected:
    // Return false to refuse a close request.
    virtual bool closeQuery() { return true; }
    // Runs after a close request was accepted.
    virtual void closed() {}
    // Runs each time the window is shown.
    virtual void shown() {}

    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QEventLoop *m_loop = nullptr;
    int m_modalResult = mrNone;
};

} // namespace ui
