#include "DeepOptions.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

#include "CommandLine.h"
#include "dialogs/NumberText.h"
#include "fractal/deep/DeepView.h"

namespace {
// The pixel step under this share of the centre's magnitude leaves the
// window's accumulated coordinates a few bits per pixel at most.
constexpr double kFinestStepShare = 0x1p-44;

QString ReadIterations(const QString& value, CommandLine& line)
{
    const auto n = ParseInteger(value.toStdString());
    if (!n || *n < 1 || *n > DeepView::kMostIterations)
        return QString::fromUtf8("--iterations « %1 » refusé : nombre entier de 1 à %2 attendu avec --deep")
            .arg(value)
            .arg(DeepView::kMostIterations);
    line.iterations = *n;
    return {};
}

QString ReadCentre(const QString& option, const QString& value, CommandLine& line)
{
    const QStringList parts = value.split(',');
    DeepView view;
    view.width = view.height = 1;
    if (parts.size() == 2) {
        view.centreX = parts[0].toStdString();
        view.centreY = parts[1].toStdString();
    }
    switch (parts.size() == 2 ? view.Check() : DeepView::Problem::CentreNotDecimal) {
    case DeepView::Problem::CentreNotDecimal:
        return QString::fromUtf8("%1 « %2 » refusé : deux nombres décimaux X,Y attendus, sans espace, "
                                 "par exemple -0.7436438870371587,0.1318259042053")
            .arg(option, value);
    case DeepView::Problem::CentreOutOfRange:
        return QString::fromUtf8("%1 « %2 » refusé : centre hors de portée").arg(option, value);
    default:
        line.deepCentreX = view.centreX;
        line.deepCentreY = view.centreY;
        return {};
    }
}

QString ReadZoom(const QString& value, CommandLine& line)
{
    DeepView view;
    view.width = view.height = 1;
    view.zoom = value.toStdString();
    switch (view.Check()) {
    case DeepView::Problem::ZoomNotDecimal:
        return QString::fromUtf8("--zoom « %1 » refusé : nombre décimal positif attendu, par exemple 1e50").arg(value);
    case DeepView::Problem::ZoomZero:
        return QString::fromUtf8("--zoom « %1 » refusé : le zoom ne peut pas être nul").arg(value);
    case DeepView::Problem::ZoomNegative:
        return QString::fromUtf8("--zoom « %1 » refusé : le zoom ne peut pas être négatif").arg(value);
    case DeepView::Problem::ZoomOutOfRange:
        return QString::fromUtf8("--zoom « %1 » refusé : le zoom va de 1e-%2 à 1e%2")
            .arg(value)
            .arg(DeepView::kZoomExponentRange);
    default:
        line.deepZoom = view.zoom;
        return {};
    }
}
} // namespace

QString ReadDeepOption(const QString& option, const QString& value, CommandLine& line)
{
    if (option == "--iterations")
        return ReadIterations(value, line);
    if (option == "--zoom")
        return ReadZoom(value, line);
    return ReadCentre(option, value, line);
}

bool BeyondTheDoubles(const CommandLine& line, double zoom)
{
    const double step = 3.6 / (zoom * line.width);
    return step < std::max(std::fabs(line.centerX), std::fabs(line.centerY)) * kFinestStepShare;
}

QString NoRoomMessage(const CommandLine& line)
{
    const QString picture =
        QString::fromUtf8("mémoire insuffisante pour une image de %1x%2").arg(line.width).arg(line.height);
    return line.deep ? QString::fromUtf8("%1 à %2 itérations").arg(picture).arg(line.iterations) : picture;
}
