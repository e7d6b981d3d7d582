// Resource identifiers of replay: putting a snapshot back on the clipboard.
#pragma once

#define ID_EDIT_REPLAY 32800
