// The HII package lists the driver images carry (the host build's view of
// their ".hii" sections), for the board's image loader to publish.
#pragma once

extern "C" const unsigned char TpmPlatformDxeStrings[];
