#include "help_view.h"

#include "panel_frame.h"

#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFrame>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

// The page is a resource of a static library: it is registered by hand.
static void registerHelpPage() { Q_INIT_RESOURCE(help); }

namespace orlix {

helpView::helpView(QWidget* parent) : QWidget(parent)
{
    registerHelpPage();
    QPushButton* doneButton = nullptr;
    QVBoxLayout* column = panelColumn(this, QStringLiteral("Help"), doneButton);
    connect(doneButton, &QPushButton::clicked, this, &helpView::done);
    browser_ = new QTextBrowser(this);
    browser_->setOpenLinks(true);
    browser_->setOpenExternalLinks(false);
    browser_->setFrameShape(QFrame::NoFrame);
    column->addWidget(browser_, 1);
}

void helpView::present()
{
    if (browser_->source().isEmpty())
        browser_->setSource(QUrl(QString::fromLatin1(kPage)));
    else
        browser_->home();
    fitColumn();
    showOverParent(this, browser_);
}

void helpView::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    fitColumn();
}

void helpView::fitColumn()
{
    // Lines of a readable length on a wide window.
    QTextFrame* page = browser_->document()->rootFrame();
    QTextFrameFormat format = page->frameFormat();
    const int side = std::max(4, (width() - 700) / 2);
    format.setLeftMargin(side);
    format.setRightMargin(side);
    page->setFrameFormat(format);
}

void helpView::done()
{
    hide();
    emit closed();
}

} // namespace orlix
