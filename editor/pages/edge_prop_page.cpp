#include "editor/pages/edge_prop_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <cmath>
#include <optional>

#include "engine/error_reporter.h"
#include "engine/tiling_layer.h"

namespace quillon {

namespace {

constexpr int kMaxProfilePoints = 64;

QString ProfileText(const std::vector<TilingLayer::ProfilePoint>& points) {
    QStringList parts;
    for (const auto& point : points) {
        parts << QStringLiteral("%1 %2").arg(ShortReal(point.x), ShortReal(point.y));
    }
    return parts.join(QStringLiteral("; "));
}

// Null unless the text is pairs of finite numbers with x rising.
std::optional<std::vector<TilingLayer::ProfilePoint>> ParseProfile(const QString& text) {
    std::vector<TilingLayer::ProfilePoint> points;
    const QStringList parts = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (parts.size() > kMaxProfilePoints) return std::nullopt;
    for (const QString& part : parts) {
        const QStringList numbers = part.simplified().split(
            QRegularExpression(QStringLiteral("[ ,]+")), Qt::SkipEmptyParts);
        if (numbers.size() != 2) return std::nullopt;
        bool okX = false;
        bool okY = false;
        const float x = numbers[0].toFloat(&okX);
        const float y = numbers[1].toFloat(&okY);
        if (!okX || !okY || !std::isfinite(x) || !std::isfinite(y)) return std::nullopt;
        if (!points.empty() && x < points.back().x) return std::nullopt;
        points.push_back({x, y});
    }
    return points;
}

}  // namespace

EdgePropPage::EdgePropPage(QWidget* parent) : QuillonPropertyPage(parent) {
    auto* grid = new QGridLayout(this);
    auto* filter = new QGroupBox(tr("Filter:"), this);
    auto* buttons = new QHBoxLayout(filter);
    m_round = new QRadioButton(tr("Round"), filter);
    m_square = new QRadioButton(tr("Square"), filter);
    buttons->addWidget(m_round);
    buttons->addWidget(m_square);
    grid->addWidget(filter, 0, 0, 1, 2);
    auto* radius = new QLineEdit(this);
    auto* threshold = new QLineEdit(this);
    m_radiusLabel = new QLabel(tr("Radius:"), this);
    m_radiusLabel->setBuddy(radius);
    auto* thresholdLabel = new QLabel(tr("Mortar Threshold:"), this);
    thresholdLabel->setBuddy(threshold);
    grid->addWidget(m_radiusLabel, 1, 0);
    grid->addWidget(radius, 1, 1);
    grid->addWidget(thresholdLabel, 2, 0);
    grid->addWidget(threshold, 2, 1);
    m_profile = new QLineEdit(this);
    m_profile->setMaxLength(1024);
    m_profile->setToolTip(
        tr("Points \"x y\" separated by \";\", x rising from 0 (inside the "
           "piece) to 1 (the joint), y the height there"));
    auto* profileLabel = new QLabel(tr("Profile:"), this);
    profileLabel->setBuddy(m_profile);
    grid->addWidget(profileLabel, 3, 0);
    grid->addWidget(m_profile, 3, 1);
    grid->setRowStretch(4, 1);
    m_radius = std::make_unique<RandomField>(radius, "Radius:");
    m_threshold = std::make_unique<RandomField>(threshold, "Mortar Threshold:");
    for (QRadioButton* button : {m_round, m_square}) {
        connect(button, &QRadioButton::clicked, this, [this] {
            UpdateLabels();
            NotifyChanged();
        });
    }
    connect(radius, &QLineEdit::textEdited, this, &EdgePropPage::NotifyChanged);
    connect(threshold, &QLineEdit::textEdited, this, &EdgePropPage::NotifyChanged);
    connect(m_profile, &QLineEdit::textEdited, this, &EdgePropPage::NotifyChanged);
}

void EdgePropPage::UpdateLabels() {
    m_radiusLabel->setText(m_round->isChecked() ? tr("Radius:") : tr("Size:"));
}

void EdgePropPage::Load(const PageObject& object) {
    QuillonPropertyPage::Load(object);
    auto* tiling = dynamic_cast<TilingLayer*>(object.layer);
    if (!tiling) return;
    (tiling->RoundedEdges() ? m_round : m_square)->setChecked(true);
    m_radius->Load(tiling->EdgeRadius());
    m_threshold->Load(tiling->Threshold());
    m_loadedProfile = ProfileText(tiling->EdgeProfile());
    m_profile->setText(m_loadedProfile);
    UpdateLabels();
}

bool EdgePropPage::Validate() {
    if (!m_radius->Validate() || !m_threshold->Validate()) return false;
    if (m_profile->text() == m_loadedProfile || ParseProfile(m_profile->text())) return true;
    ReportError(
        "Profile: enter points \"x y\" separated by \";\", with x rising, such as \"0 1; 0.5 0.3; "
        "1 0\".");
    return false;
}

void EdgePropPage::Apply() {
    auto* tiling = dynamic_cast<TilingLayer*>(m_object.layer);
    const bool profileChanged = m_profile->text() != m_loadedProfile;
    const auto profile = ParseProfile(m_profile->text());
    if (!tiling || !m_radius->Value() || !m_threshold->Value() || (profileChanged && !profile)) {
        return;
    }
    tiling->SetRoundedEdges(m_round->isChecked());
    tiling->SetEdgeRadius(*m_radius->Value());
    tiling->SetThreshold(*m_threshold->Value());
    // An untouched profile keeps its exact points.
    if (profileChanged) tiling->SetEdgeProfile(*profile);
}

}  // namespace quillon
