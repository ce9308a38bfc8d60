// The id of the hidden dialog that hosts the media player control, for the resource script and
// the code that runs the dialog.
#pragma once

#define IDD_PLAYER_HOST 204
