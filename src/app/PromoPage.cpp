#include "app/PromoPage.h"

#include "ui/Contrast.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>

const QUrl PromoPage::kApplicationPage(QStringLiteral("https://creditcard.cmbchina.com/"));

PromoPage::PromoPage(AppContext&, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("promoPage"));

    // The picture (1024 x 842 JPEG) is stretched into its box.
    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("promoPicture"));
    m_picture->setGeometry(16, 16, 177, 153);
    m_picture->setScaledContents(true);
    m_picture->setCursor(Qt::PointingHandCursor);
    m_picture->setToolTip(QStringLiteral("在线申请信用卡"));
    m_picture->installEventFilter(this);

    auto* caption = new QLabel(QStringLiteral("最快当天下卡"), this);
    caption->setObjectName(QStringLiteral("promoCaption"));
    caption->setGeometry(40, 176, 169, 24);
    QFont f = caption->font();
    f.setPixelSize(16);
    caption->setFont(f);
    Contrast::setTextHue(caption, Qt::red);
}

void PromoPage::showEvent(QShowEvent* event)
{
    // Decoded when the tab is first opened: most runs never show it.
    if (m_picture->pixmap().isNull())
        m_picture->setPixmap(QPixmap(QStringLiteral(":/promo.jpg")));
    QWidget::showEvent(event);
}

bool PromoPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_picture && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        m_picture->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        openApplicationPage();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void PromoPage::openApplicationPage()
{
    QDesktopServices::openUrl(kApplicationPage); // the outcome is the browser's business
}
