#pragma once

#include "ui/MainWindow.h"

#include <QDialog>

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTimeEdit;

// "新建预案": plan name, map source (a GIS map set or a bitmap with its size
// in kilometres) and the plan's start and end date-times.
class CNewPlanDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr double kMaxWidthKm = 1e15;
    static constexpr double kMaxHeightKm = 1e13;

    // Start := now, end := today with the time of day now + 2 h.
    explicit CNewPlanDlg(std::time_t now, QWidget* parent = nullptr);

    NewPlanValues Values() const;
    void SetValues(const NewPlanValues& values);
    // The range check of OK; the message for the first failing field, or empty.
    QString ValidationMessage() const;

    QCheckBox* UseGisBox() const { return m_useGis; }
    QLineEdit* GisEdit() const { return m_gisSource; }
    QLineEdit* BitmapEdit() const { return m_bitmapFile; }
    QLineEdit* WidthEdit() const { return m_width; }
    QLineEdit* HeightEdit() const { return m_height; }
    QPushButton* GisChooseButton() const { return m_chooseGis; }
    QPushButton* BitmapChooseButton() const { return m_chooseBitmap; }

    // The dialog's file choosers' filters, in the "desc|pattern|...||" form.
    // Besides map sets, any single source GDAL reads opens as a map.
    static QString GisFilter()
    {
        return QStringLiteral("(*.gst)|*.gst|"
                              "GDAL 地图数据(*.shp *.gpkg *.geojson *.json *.tab *.mif *.fgb *.kml *.kmz *.gml "
                              "*.sqlite *.tif *.tiff *.img *.vrt *.jp2 *.png *.jpg)|"
                              "*.shp;*.gpkg;*.geojson;*.json;*.tab;*.mif;*.fgb;*.kml;*.kmz;*.gml;*.sqlite;*.tif;*.tiff;"
                              "*.img;*.vrt;*.jp2;*.png;*.jpg|All Files (*.*)|*.*||");
    }
    static QString BitmapFilter() { return QStringLiteral("图片文件(*.bmp)|*.bmp|All Files (*.*)|*.*||"); }

public slots:
    void accept() override;

private:
    void UpdateEnabling();

    QLineEdit* m_planName;
    QLineEdit* m_gisSource;
    QPushButton* m_chooseGis;
    QCheckBox* m_useGis;
    QLineEdit* m_bitmapFile;
    QPushButton* m_chooseBitmap;
    QLineEdit* m_width;
    QLineEdit* m_height;
    QDateEdit* m_startDate;
    QTimeEdit* m_startTime;
    QDateEdit* m_endDate;
    QTimeEdit* m_endTime;
};

// The "desc|pattern|desc|pattern||" filter as a Qt name filter list.
QString QtFilter(const QString& mfcFilter);
// A file chooser with that filter and default extension; empty when cancelled.
QString ChooseFile(QWidget* parent, bool save, const QString& mfcFilter, const QString& defaultExt);
