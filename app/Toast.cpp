#include "app/Toast.h"
#include "platform/ui/PlainLabel.h"

#include <QApplication>
#include <QLabel>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

int Toast::fontSizeFor(int baseFontSize)
{
    return qMin(20, static_cast<int>(1.5 * baseFontSize));
}

QWidget* Toast::show(const QString& message, int baseFontSize)
{
    const int font = fontSizeFor(baseFontSize > 0 ? baseFontSize : 12);
    const int width = 35 * font;
    const int height = qMax(100, 4 * font);

    auto* window = new QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setAttribute(Qt::WA_TranslucentBackground);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->setObjectName(QStringLiteral("Toast"));
    window->setFixedSize(width, height);
    window->setWindowOpacity(0.9);

    auto* label = new PlainLabel(message, window);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("QLabel { color: white; background: rgba(40, 40, 40, 230); "
                                        "border-radius: 16px; padding: 8px; font-size: %1px; }")
                             .arg(font));
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - QPoint(width / 2, height / 2));
    window->show();

    QTimer::singleShot(2000, window, [window] {
        auto* fade = new QPropertyAnimation(window, "windowOpacity", window);
        fade->setDuration(1000);
        fade->setStartValue(window->windowOpacity());
        fade->setEndValue(0.0);
        QObject::connect(fade, &QPropertyAnimation::finished, window, &QWidget::close);
        fade->start();
    });
    return window;
}
