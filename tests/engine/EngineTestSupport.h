#pragma once

#include "config/MessageReporter.h"
#include "config/SysConfig.h"
#include "config/UnitClassCatalog.h"
#include "engine/Plan.h"
#include "engine/PlanContext.h"
#include "engine/PlanFile.h"
#include "support/TempDir.h"
#include "support/TestPlanParts.h"

#include <QColor>
#include <QImage>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// Records what the model reports instead of showing it.
class RecordingReporter : public IMessageReporter {
public:
    MessageAnswer Report(const ReportedMessage& message) override
    {
        messages.push_back(message);
        return MessageAnswer::Ok;
    }
    // "text|caption" of every message, in order.
    std::vector<std::string> Seen() const
    {
        std::vector<std::string> out;
        for (const auto& m : messages)
            out.push_back(m.text + "|" + m.caption);
        return out;
    }
    std::vector<ReportedMessage> messages;
};

// A bitmap file of the given size inside the test folder; returns its path.
inline std::string WriteBitmap(const TestDir& dir, const QString& name, int width = 40, int height = 30)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 30));
    const std::string path = dir.file(name);
    dir.write(name, "");  // creates the folders
    image.save(QString::fromStdString(path), "BMP");
    return path;
}

// A catalogue with one class of each placeable kind and a weapon.
inline void LoadTestCatalog(const TestDir& dir, CUnitClassCatalog& catalog)
{
    CSysConfig config;
    if (!catalog.Load(dir.write("UnitClassInfo.cfg", kTestCatalogText), config))
        ADD_FAILURE() << catalog.GetLastError();
}

// A folder with the test catalogue and a 64 x 48 bitmap map, and a plan
// context reading from it, for loading plan files.
struct PlanFileEnv {
    TestDir dir;
    CUnitClassCatalog catalog;
    RecordingReporter reporter;
    PlanContext context;
    std::string mapPath;

    PlanFileEnv()
    {
        LoadTestCatalog(dir, catalog);
        context.catalog = &catalog;
        context.moduleFolder = dir.path().toStdString();
        context.reporter = &reporter;
        mapPath = WriteBitmap(dir, "maps/map.bmp", 64, 48);
    }
    std::unique_ptr<CPlan> Load(const std::string& path, std::string* error = nullptr)
    {
        return LoadPlan(path, context, error);
    }
    // Writes the text as plan.pln in the folder and loads it.
    std::unique_ptr<CPlan> LoadText(const QByteArray& text, std::string* error = nullptr)
    {
        return Load(dir.write("plan.pln", text), error);
    }
};
