#pragma once

#include <memory>

#include "editor/pages/page_fields.h"
#include "editor/pages/property_page.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;

namespace quillon {

// "Noise Function" of a noise function layer. "Map" edits the main noise,
// "Point" the coordinate noise that displaces the points; the page keeps
// the texts of both, so switching between them loses no edit.
class NoiseSetupPage : public QuillonPropertyPage {
    Q_OBJECT
  public:
    explicit NoiseSetupPage(QWidget* parent = nullptr);
    void Load(const PageObject& object) override;
    bool Validate() override;
    void Apply() override;

    QComboBox* ScalingList() const { return m_scaling; }
    QComboBox* BasisList() const { return m_basis; }
    QComboBox* MappingList() const { return m_mapping; }
    QComboBox* TilingList() const { return m_tiling; }
    QComboBox* TypeList() const { return m_type; }
    QRadioButton* MapButton() const { return m_map; }
    QRadioButton* PointButton() const { return m_point; }
    QLineEdit* PolarizationEdit() const;
    QLineEdit* MagnitudeEdit() const;
    QLineEdit* VarianceEdit() const;
    QLineEdit* IterationsEdit() const;
    QLabel* PolarizationLabel() const { return m_polarizationLabel; }
    QLabel* MagnitudeLabel() const { return m_magnitudeLabel; }
    QLabel* VarianceLabel() const { return m_varianceLabel; }
    QLabel* IterationsLabel() const { return m_iterationsLabel; }
    QLabel* ScalingLabel() const { return m_scalingLabel; }
    QLabel* MappingLabel() const { return m_mappingLabel; }

  private:
    // The fields of one noise (main or coordinate); each has its own edits,
    // of which the selected noise's are shown.
    struct NoiseFields {
        int basis = 0;  // item of the basis list
        int type = 0;   // item of the type list
        std::unique_ptr<RealField> polarization;
        std::unique_ptr<RandomField> magnitude;
        std::unique_ptr<RandomField> variance;
        std::unique_ptr<IntField> iterations;
        bool basisTouched = false;
        double loadedParameter = 0.0;
    };
    NoiseFields& Selected();
    const NoiseFields& Selected() const;
    void UpdateVisibility();
    void SelectNoise();

    QLabel* m_scalingLabel;
    QComboBox* m_scaling;
    QLabel* m_basisLabel;
    QComboBox* m_basis;
    QLabel* m_mappingLabel;
    QComboBox* m_mapping;
    QLabel* m_polarizationLabel;
    QLabel* m_tilingLabel;
    QComboBox* m_tiling;
    QGroupBox* m_application;
    QRadioButton* m_map;
    QRadioButton* m_point;
    QGroupBox* m_noiseType;
    QComboBox* m_type;
    QLabel* m_magnitudeLabel;
    QLabel* m_varianceLabel;
    QLabel* m_iterationsLabel;
    NoiseFields m_noises[2];
};

}  // namespace quillon
