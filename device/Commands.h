// Command identifiers of the handheld reader, shared by its menus, toolbar and posted commands.
#pragma once

namespace wickpad {

enum CommandId : int {
    ID_ABOUT_EBOOK = 32771,
    ID_LIBRARY = 32772,
    ID_FIRST_PAGE = 32774,
    ID_GOTO_25 = 32775,
    ID_GOTO_50 = 32776,
    ID_GOTO_75 = 32777,
    ID_LAST_PAGE = 32778,
    ID_NEXT_PAGE = 32801,
    ID_PREVIOUS_PAGE = 32802,
    ID_READER_OPTIONS = 32803,
    ID_NIGHTTIME = 32804,
    ID_PREV_SECTION = 32805,
    ID_NEXT_SECTION = 32806,
    ID_PAGINATE_ALL = 32807,
    ID_CONTENTS = 32808,
    ID_POST_PAGINATE = 32811,
    ID_ASK_PREPAGINATE = 32812,
    ID_RETURN_FROM_LINK = 32813,
    ID_SEARCH = 32814,
    ID_SEARCH_AGAIN = 32815,
    ID_HIGHLIGHTS = 32816,
    ID_GOTO_BOOKMARK1 = 32820,  // to 32823 for #4
    ID_SET_BOOKMARK1 = 32824,   // to 32827 for #4
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
};

}  // namespace wickpad
