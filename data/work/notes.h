#pragma once
#include <QtGlobal>

class DataSet;

// The notebook (SHMEIWSEIS): titled notes.
namespace Notes {

// Every note, editable in place, by title.
void openNotebook(DataSet &table);
// For printing: the title and text of every note by title, or of one note.
void selectAll(DataSet &print);
void selectOne(DataSet &print, qint64 id);

}   // namespace Notes
