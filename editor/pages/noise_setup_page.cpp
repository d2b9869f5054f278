#include "editor/pages/noise_setup_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "editor/app_services.h"
#include "editor/pages/react_diffusion_prop_page.h"
#include "engine/noise_function_layer.h"

namespace quillon {

namespace {

// Items of the "Basis Function:" list and the kinds they stand for.
constexpr NoiseFunction kBasisItems[] = {NoiseFunction::Gradient,   NoiseFunction::Value,
                                         NoiseFunction::ValGrad,    NoiseFunction::Convolution,
                                         NoiseFunction::SparseConv, NoiseFunction::Grid};
constexpr int kGridItem = 5;

int BasisItem(NoiseFunction kind) {
    for (int k = 0; k < 6; ++k) {
        if (kBasisItems[k] == kind) return k;
    }
    return 0;
}

}  // namespace

NoiseSetupPage::NoiseSetupPage(QWidget* parent) : QuillonPropertyPage(parent) {
    auto* grid = new QGridLayout(this);
    int row = 0;
    auto addRow = [&](QLabel*& label, const char* text, QWidget* widget) {
        label = new QLabel(tr(text), this);
        label->setBuddy(widget);
        grid->addWidget(label, row, 0);
        grid->addWidget(widget, row, 1);
        ++row;
    };
    m_scaling = NewScalingFunctionList(this);
    addRow(m_scalingLabel, "Scaling Function:", m_scaling);
    m_basis = new QComboBox(this);
    m_basis->addItems({tr("Gradient"), tr("Value"), tr("Value-Gradient"), tr("Convolution"),
                       tr("Spot Convolution"), tr("Grid")});
    addRow(m_basisLabel, "Basis Function:", m_basis);
    m_mapping = new QComboBox(this);
    m_mapping->addItems({tr("None"), tr("Linear"), tr("Cylindrical"), tr("Spherical")});
    addRow(m_mappingLabel, "Mapping Function:", m_mapping);

    m_polarizationLabel = new QLabel(tr("Polarization:"), this);
    grid->addWidget(m_polarizationLabel, row, 0);
    const int polarizationRow = row++;
    m_tiling = new QComboBox(this);
    m_tiling->addItems({tr("None"), tr("X-Tiling"), tr("Y-Tiling"), tr("XY-Tiling")});
    addRow(m_tilingLabel, "Tiling:", m_tiling);

    m_application = new QGroupBox(tr("Noise Application:"), this);
    auto* applicationLayout = new QHBoxLayout(m_application);
    m_map = new QRadioButton(tr("Map"), m_application);
    m_point = new QRadioButton(tr("Point"), m_application);
    applicationLayout->addWidget(m_map);
    applicationLayout->addWidget(m_point);
    m_map->setChecked(true);
    grid->addWidget(m_application, row++, 0, 1, 2);

    m_noiseType = new QGroupBox(tr("Noise Type:"), this);
    auto* typeGrid = new QGridLayout(m_noiseType);
    m_type = new QComboBox(m_noiseType);
    m_type->addItems({tr("None"), tr("Basis"), tr("Turbulence"), tr("Fractal Sum")});
    auto* typeLabel = new QLabel(tr("Type:"), m_noiseType);
    typeLabel->setBuddy(m_type);
    typeGrid->addWidget(typeLabel, 0, 0);
    typeGrid->addWidget(m_type, 0, 1);
    m_magnitudeLabel = new QLabel(tr("Magnitude:"), m_noiseType);
    m_varianceLabel = new QLabel(tr("Variance:"), m_noiseType);
    m_iterationsLabel = new QLabel(tr("Iterations:"), m_noiseType);
    typeGrid->addWidget(m_magnitudeLabel, 1, 0);
    typeGrid->addWidget(m_varianceLabel, 2, 0);
    typeGrid->addWidget(m_iterationsLabel, 3, 0);
    grid->addWidget(m_noiseType, row++, 0, 1, 2);
    grid->setRowStretch(row, 1);

    for (NoiseFields& noise : m_noises) {
        auto* polarization = new QLineEdit(this);
        auto* magnitude = new QLineEdit(m_noiseType);
        auto* variance = new QLineEdit(m_noiseType);
        auto* iterations = new QLineEdit(m_noiseType);
        grid->addWidget(polarization, polarizationRow, 1);
        typeGrid->addWidget(magnitude, 1, 1);
        typeGrid->addWidget(variance, 2, 1);
        typeGrid->addWidget(iterations, 3, 1);
        noise.polarization = std::make_unique<RealField>(polarization, "Polarization:", 0.0, 1.0);
        noise.magnitude = std::make_unique<RandomField>(magnitude, "Magnitude:");
        noise.variance = std::make_unique<RandomField>(variance, "Variance:");
        noise.iterations = std::make_unique<IntField>(iterations, "Iterations:", 1,
                                                      NoiseFunctionLayer::kMaxTurbulenceIterations);
        for (QLineEdit* edit : {polarization, magnitude, variance, iterations}) {
            connect(edit, &QLineEdit::textEdited, this, &NoiseSetupPage::NotifyChanged);
        }
    }

    connect(m_scaling, &QComboBox::activated, this, &NoiseSetupPage::NotifyChanged);
    connect(m_mapping, &QComboBox::activated, this, &NoiseSetupPage::NotifyChanged);
    connect(m_tiling, &QComboBox::activated, this, &NoiseSetupPage::NotifyChanged);
    connect(m_basis, &QComboBox::activated, this, [this](int item) {
        Selected().basis = item;
        Selected().basisTouched = true;
        UpdateVisibility();
        NotifyChanged();
    });
    connect(m_type, &QComboBox::activated, this, [this](int item) {
        Selected().type = item;
        UpdateVisibility();
        NotifyChanged();
    });
    connect(m_map, &QRadioButton::clicked, this, &NoiseSetupPage::SelectNoise);
    connect(m_point, &QRadioButton::clicked, this, &NoiseSetupPage::SelectNoise);
    UpdateVisibility();
}

NoiseSetupPage::NoiseFields& NoiseSetupPage::Selected() {
    return m_noises[m_point->isChecked() ? 1 : 0];
}
const NoiseSetupPage::NoiseFields& NoiseSetupPage::Selected() const {
    return m_noises[m_point->isChecked() ? 1 : 0];
}

QLineEdit* NoiseSetupPage::PolarizationEdit() const {
    return Selected().polarization->Edit();
}
QLineEdit* NoiseSetupPage::MagnitudeEdit() const {
    return Selected().magnitude->Edit();
}
QLineEdit* NoiseSetupPage::VarianceEdit() const {
    return Selected().variance->Edit();
}
QLineEdit* NoiseSetupPage::IterationsEdit() const {
    return Selected().iterations->Edit();
}

void NoiseSetupPage::SelectNoise() {
    m_basis->setCurrentIndex(Selected().basis);
    m_type->setCurrentIndex(Selected().type);
    UpdateVisibility();
}

void NoiseSetupPage::UpdateVisibility() {
    const bool advanced = AdvancedMode();
    const bool map = m_map->isChecked();
    const int type = m_type->currentIndex();
    const bool grid = m_basis->currentIndex() == kGridItem;
    m_scalingLabel->setVisible(map);
    m_scaling->setVisible(map);
    m_mappingLabel->setVisible(map);
    m_mapping->setVisible(map);
    m_tilingLabel->setVisible(advanced);
    m_tiling->setVisible(advanced);
    m_application->setVisible(advanced);
    m_basisLabel->setVisible(advanced);
    m_basis->setVisible(advanced);
    m_polarizationLabel->setVisible(grid);
    const bool magnitude = type != static_cast<int>(TurbulenceType::None);
    const bool octaves = advanced && (type == static_cast<int>(TurbulenceType::Turbulence) ||
                                      type == static_cast<int>(TurbulenceType::FractalSum));
    m_magnitudeLabel->setVisible(magnitude);
    m_varianceLabel->setVisible(octaves);
    m_iterationsLabel->setVisible(octaves);
    for (int k = 0; k < 2; ++k) {
        const bool shown = (k == 1) == m_point->isChecked();
        m_noises[k].polarization->Edit()->setVisible(shown && grid);
        m_noises[k].magnitude->Edit()->setVisible(shown && magnitude);
        m_noises[k].variance->Edit()->setVisible(shown && octaves);
        m_noises[k].iterations->Edit()->setVisible(shown && octaves);
    }
    m_polarizationLabel->setBuddy(PolarizationEdit());
    m_magnitudeLabel->setBuddy(MagnitudeEdit());
    m_varianceLabel->setBuddy(VarianceEdit());
    m_iterationsLabel->setBuddy(IterationsEdit());
}

void NoiseSetupPage::Load(const PageObject& object) {
    QuillonPropertyPage::Load(object);
    auto* layer = dynamic_cast<NoiseFunctionLayer*>(object.layer);
    if (!layer) return;
    m_scaling->setCurrentIndex(ScalingFunctionItem(layer->ColorFunction()));
    m_mapping->setCurrentIndex(static_cast<int>(layer->GetCoordFunction()));
    m_tiling->setCurrentIndex(static_cast<int>(layer->Cut()));
    const NoiseFunctionLayer::Turbulence* turbulences[] = {&layer->MainTurbulence(),
                                                           &layer->CoordTurbulence()};
    const NoiseFunction kinds[] = {layer->GetNoiseFunction(), layer->GetCoordNoiseFunction()};
    const double parameters[] = {layer->NoiseParameter(), layer->CoordNoiseParameter()};
    for (int k = 0; k < 2; ++k) {
        NoiseFields& noise = m_noises[k];
        noise.basis = BasisItem(kinds[k]);
        noise.basisTouched = false;
        noise.type = static_cast<int>(turbulences[k]->type);
        // The grid weight is shown as polarization: 1 is an exact checkerboard.
        noise.polarization->Load(1.0 - parameters[k]);
        noise.loadedParameter = parameters[k];
        noise.magnitude->Load(turbulences[k]->magnitude);
        noise.variance->Load(turbulences[k]->variance);
        noise.iterations->Load(turbulences[k]->iterations);
    }
    m_map->setChecked(true);
    SelectNoise();
}

bool NoiseSetupPage::Validate() {
    for (const NoiseFields& noise : m_noises) {
        if (!noise.polarization->Validate() || !noise.magnitude->Validate() ||
            !noise.variance->Validate() || !noise.iterations->Validate()) {
            return false;
        }
    }
    return true;
}

void NoiseSetupPage::Apply() {
    auto* layer = dynamic_cast<NoiseFunctionLayer*>(m_object.layer);
    if (!layer) return;
    for (const NoiseFields& noise : m_noises) {
        if (!noise.polarization->Value() || !noise.magnitude->Value() || !noise.variance->Value() ||
            !noise.iterations->Value()) {
            return;
        }
    }
    ApplyScalingFunctionItem(*layer, m_scaling->currentIndex());
    layer->SetCoordFunction(static_cast<CoordFunction>(m_mapping->currentIndex()));
    layer->SetCut(static_cast<CutType>(m_tiling->currentIndex()));
    const int selected = m_point->isChecked() ? 1 : 0;
    for (int k = 0; k < 2; ++k) {
        const NoiseFields& noise = m_noises[k];
        NoiseFunctionLayer::Turbulence turbulence{
            static_cast<TurbulenceType>(noise.type), *noise.magnitude->Value(),
            *noise.variance->Value(), *noise.iterations->Value()};
        const double parameter = noise.polarization->Changed() ? 1.0 - *noise.polarization->Value()
                                                               : noise.loadedParameter;
        const NoiseFunction kind = kBasisItems[noise.basis];
        // The selected noise is rebuilt on every apply; the other only when
        // its kind was changed.
        const bool rebuild = k == selected || noise.basisTouched;
        if (k == 0) {
            layer->SetNoiseParameter(parameter);
            if (rebuild) layer->SetNoiseFunction(kind);
            layer->SetMainTurbulence(turbulence);
        } else {
            layer->SetCoordNoiseParameter(parameter);
            if (rebuild) layer->SetCoordNoiseFunction(kind);
            layer->SetCoordTurbulence(turbulence);
        }
    }
    m_noises[0].basisTouched = m_noises[1].basisTouched = false;
}

}  // namespace quillon
