#pragma once
// The main window on a temporary program folder and settings store, for the GUI tests.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "base/app.h"
#include "base/private_label.h"
#include "catalogue/catalogue_writer.h"
#include "support/temp_dir.h"
#include "widgets/list_view.h"
#include "widgets/pick_combo.h"
#include "windows/main_window.h"

namespace test {

inline QStringList L(std::initializer_list<const char*> items) {
    QStringList out;
    for (const char* i : items) out << QString::fromUtf8(i);
    return out;
}

inline std::string SampleCatalogue() {
    std::string out;
    auto add = [&](const char* n, const char* c, const char* l) {
        catalogue::AppendEncodedLine(out, n, std::string("http://127.0.0.1/") + n, c, l);
    };
    add("Zeta News", "TV", "English");
    add("Radio One", "Radio", "English");
    add("Canal Un", "TV", "French");
    add("Alpha TV", "TV", "English/Spanish");
    add("Kanal Drei", "TV", "German");
    add("Film", "Video", "English");
    add("Beta TV", "TV", "ENGLISH");
    return out;
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = App::Info();
        program.write("Data.txt", SampleCatalogue());
        Configure("Marlu");
    }
    void TearDown() override {
        form.reset();
        App::Configure(m_saved);
    }

    void Configure(const char* company, bool prevInstance = false) {
        AppInfo info = App::BuildInfo();
        info.path = program.path();
        info.companyName = company;
        info.comments = "www.example.test";
        info.prevInstance = prevInstance;
        App::Configure(info);
        modPrivateLabel::LoadPrivateLabel();
    }

    Form1& Start() {
        form = std::make_unique<Form1>();
        form->Form_Load();
        if (!form->endedAtStart()) {
            form->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        }
        return *form;
    }

    static std::vector<std::string> Column(const ListView* list, int column) {
        std::vector<std::string> out;
        for (int r = 0; r < list->rowCount(); ++r) out.push_back(list->channels()->cell(r, column));
        return out;
    }

    static QStringList Entries(const QComboBox* box) {
        QStringList out;
        for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
        return out;
    }

    TempDir program;
    ScopedConfigHome home;
    std::unique_ptr<Form1> form;

private:
    AppInfo m_saved;
};

}  // namespace test

using test::L;
using test::MainWindow;
using test::SampleCatalogue;
