#pragma once

#include <QUrl>
#include <QWidget>

struct AppContext;
class QLabel;

// The promotion tab "在线申请信用卡": a picture that opens a bank's online credit-card
// application page in the desktop's browser, and the red caption "最快当天下卡",
// which does nothing.
class PromoPage : public QWidget
{
    Q_OBJECT
public:
    explicit PromoPage(AppContext& context, QWidget* parent = nullptr);

    static const QUrl kApplicationPage;

    QLabel* picture() const { return m_picture; }
    void openApplicationPage();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* m_picture = nullptr;
};
