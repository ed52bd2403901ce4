#pragma once

#include <QWidget>

struct AppContext;
class QTextBrowser;
class QUrl;

// The bank tab "银行网站及电话": the page 3.html (the home folder's copy when there is one, else
// the program's own) in a text browser; web links open in the desktop's browser.
class BankPage : public QWidget
{
    Q_OBJECT
public:
    explicit BankPage(AppContext& context, QWidget* parent = nullptr);

    // Loads 3.html; a missing or unreadable page shows a short notice in its place. Done when
    // the tab is first shown, if not before.
    void load();
    QTextBrowser* browser() const { return m_browser; } // WebBrowser1

    // Text of an HTML page in the charset its meta tag names (GBK family or UTF-8).
    static QString decodeHtml(const QByteArray& bytes);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void openLink(const QUrl& url);

    AppContext& m_context;
    QTextBrowser* m_browser = nullptr;
    bool m_loaded = false;
};
