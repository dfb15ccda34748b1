#pragma once
// The fixture of the song list model tests: songs owned by the test, a model over them with
// QAbstractItemModelTester attached for its whole life (any broken model contract fails the
// test at once), and the model's change signals recorded.

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "browser/unitSongListModel.h"
#include "catalogue/unitSongsDatabaseClass.h"

class SongListModelTest : public ::testing::Test {
protected:
    /// A song owned by the test, handed to the model as a borrowed pointer.
    cSongInfo* AddSong(std::string_view path, int32_t views = 0) {
        m_Owned.push_back(std::make_unique<cSongInfo>());
        cSongInfo* song = m_Owned.back().get();
        song->SetFileName(path);
        song->Views = views;
        return song;
    }
    /// Songs "/m/0.mp3" ... in order, handed to the model with the columns.
    void ShowSongs(int count, const std::vector<std::string>& columns) {
        for (int i = 0; i < count; ++i) {
            AddSong("/m/" + std::to_string(i) + ".mp3");
        }
        Model.SetColumns(columns);
        Model.SetSongs(Songs());
    }
    std::vector<cSongInfo*> Songs() const {
        std::vector<cSongInfo*> result;
        for (const auto& song : m_Owned) {
            result.push_back(song.get());
        }
        return result;
    }
    /// The first column's texts from the top, joined.
    QString Captions() const {
        QString texts;
        for (int row = 0; row < Model.rowCount(); ++row) {
            texts += Model.index(row, 0).data().toString();
        }
        return texts;
    }

    TSongListModel Model;
    QAbstractItemModelTester Tester{&Model, QAbstractItemModelTester::FailureReportingMode::Fatal};
    QSignalSpy Layouts{&Model, &QAbstractItemModel::layoutChanged};
    QSignalSpy Moves{&Model, &QAbstractItemModel::rowsMoved};
    QSignalSpy Changes{&Model, &QAbstractItemModel::dataChanged};

private:
    std::vector<std::unique_ptr<cSongInfo>> m_Owned;
};
