#pragma once
// The fixtures of the song list model tests: songs owned by the test, a model watched by
// QAbstractItemModelTester for its whole life (any broken model contract fails the test at
// once) with its change signals recorded, and the model tests' own model over the songs.

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "browser/unitSongListModel.h"
#include "catalogue/unitSongsDatabaseClass.h"

/// A model under test: the model tester attached, and the row changes recorded.
class cWatchedModel {
public:
    explicit cWatchedModel(QAbstractItemModel* model)
        : Tester(model, QAbstractItemModelTester::FailureReportingMode::Fatal),
          Layouts(model, &QAbstractItemModel::layoutChanged),
          Moves(model, &QAbstractItemModel::rowsMoved),
          Changes(model, &QAbstractItemModel::dataChanged) {}

    QAbstractItemModelTester Tester;
    QSignalSpy Layouts;
    QSignalSpy Moves;
    QSignalSpy Changes;
};

/// Song records owned by the test, handed out as borrowed pointers (the master song list's part).
class cOwnedSongs {
public:
    cSongInfo* AddSong(std::string_view path, int32_t views = 0) {
        m_Owned.push_back(std::make_unique<cSongInfo>());
        cSongInfo* song = m_Owned.back().get();
        song->SetFileName(path);
        song->Views = views;
        return song;
    }
    /// Every song, in the order they were added.
    std::vector<cSongInfo*> Songs() const {
        std::vector<cSongInfo*> result;
        for (const auto& song : m_Owned) {
            result.push_back(song.get());
        }
        return result;
    }

private:
    std::vector<std::unique_ptr<cSongInfo>> m_Owned;
};

/// The first column's texts of the model from the top, joined.
inline QString Captions(const QAbstractItemModel& model) {
    QString texts;
    for (int row = 0; row < model.rowCount(); ++row) {
        texts += model.index(row, 0).data().toString();
    }
    return texts;
}

class SongListModelTest : public ::testing::Test, protected cOwnedSongs {
protected:
    /// Songs "/m/0.mp3" ... in order, handed to the model with the columns.
    void ShowSongs(int count, const std::vector<std::string>& columns) {
        for (int i = 0; i < count; ++i) {
            AddSong("/m/" + std::to_string(i) + ".mp3");
        }
        Model.SetColumns(columns);
        Model.SetSongs(Songs());
    }
    QString Captions() const { return ::Captions(Model); }

    TSongListModel Model;
    cWatchedModel Watch{&Model};
    QSignalSpy& Layouts = Watch.Layouts;
    QSignalSpy& Moves = Watch.Moves;
    QSignalSpy& Changes = Watch.Changes;
};
