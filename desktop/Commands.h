// Command identifiers shared by the menus, the toolbar and the status-bar prompts.
#pragma once

namespace wickstand {

enum CommandId : int {
    ID_FILE_OPEN = 57601,
    ID_FILE_MRU_FILE1 = 57616,  // to 57625 for the tenth recent book
    ID_LIBRARY = 32780,
    ID_CONVERT = 32802,
    ID_SAVE_EPUB = 32827,
    ID_SEND_MOBILE = 32803,
    ID_INSTALL_MOBILE = 32806,
    ID_UNINSTALL_MOBILE = 32808,
    ID_SEND_PALM = 32801,
    ID_INSTALL_PALM = 32809,
    ID_UNINSTALL_PALM = 32810,
    ID_PRINT = 57607,
    ID_PRINT_CHAPTERS = 32798,
    ID_APP_EXIT = 57665,
    ID_COPY_BOOK = 32811,
    ID_SEARCH = 32812,
    ID_SEARCH_AGAIN = 32813,
    ID_SEARCH_PREVIOUS = 32816,
    ID_DISPLAY_OPTIONS = 32777,
    ID_NIGHTTIME = 32814,
    ID_VIEW_FULLSCREEN = 32815,
    ID_VIEW_TOOLBAR = 59392,
    ID_ABOUT_EBOOK = 32771,
    ID_FIRST_PAGE = 32784,
    ID_GOTO_25 = 32785,
    ID_GOTO_50 = 32786,
    ID_GOTO_75 = 32787,
    ID_LAST_PAGE = 32788,
    ID_GOTO_BOOKMARK1 = 32789,  // to 32792 for #4
    ID_SET_BOOKMARK1 = 32793,   // to 32796 for #4
    ID_RETURN_FROM_LINK = 32778,
    ID_CONTENTS = 32775,
    ID_LARGER_FONT = 32799,
    ID_SMALLER_FONT = 32800,
    ID_PREVIOUS_PAGE = 32773,
    ID_NEXT_PAGE = 32774,
    ID_APP_ABOUT = 57664,
    ID_ASK_PREPAGINATE = 32783,
    ID_POST_PAGINATE = 32782,
    ID_PAGINATE_ALL = 32781,
    // Highlights and notes: the selection's commands, the highlight's own, the list, the export.
    ID_EDIT_COPY = 57634,
    ID_HIGHLIGHT = 32817,
    ID_HIGHLIGHT_YELLOW = 32818,  // to 32821 for pink, in the order of HighlightColour
    ID_ADD_NOTE = 32822,
    ID_EDIT_NOTE = 32823,
    ID_DELETE_HIGHLIGHT = 32824,
    ID_HIGHLIGHTS = 32825,
    ID_EXPORT_HIGHLIGHTS = 32826,
};

}  // namespace wickstand
