#pragma once

// Code points of the merged icon font, as UTF-8 text.

#define ICON_FILE_EXPORT "\xef\x95\xae"  // U+F56E
#define ICON_HEADPHONES "\xef\x80\xa5"  // U+F025
#define ICON_ARROWS_ALT_H "\xef\x8c\xb7"  // U+F337
#define ICON_INFO_CIRCLE "\xef\x81\x9a"  // U+F05A
#define ICON_FOLDER_OPEN "\xef\x81\xbc"  // U+F07C
#define ICON_FOLDER "\xef\x81\xbb"  // U+F07B
#define ICON_PLAY "\xef\x81\x8b"  // U+F04B
#define ICON_PAUSE "\xef\x81\x8c"  // U+F04C
#define ICON_COG "\xef\x80\x93"  // U+F013
#define ICON_THUMBTACK "\xef\x82\x8d"  // U+F08D
#define ICON_VOLUME_UP "\xef\x80\xa8"  // U+F028
#define ICON_TIMES "\xef\x80\x8d"  // U+F00D
#define ICON_CHECK "\xef\x80\x8c"  // U+F00C
#define ICON_SLIDERS_H "\xef\x87\x9e"  // U+F1DE
#define ICON_SYNC_ALT "\xef\x8b\xb1"  // U+F2F1
