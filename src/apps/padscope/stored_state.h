#pragma once

#include <QByteArray>

// Whether bytes stored from QSplitter::saveState or QFileDialog::saveState
// may be handed back to restoreState. Qt reserves room for as many elements
// as a stored list claims, so a few crafted bytes in the settings would
// abort the viewer: each list must fit into the bytes that follow it.
bool is_sound_splitter_state(const QByteArray& state);
bool is_sound_file_dialog_state(const QByteArray& state);
// The same for QHeaderView::saveState.
bool is_sound_header_state(const QByteArray& state);
