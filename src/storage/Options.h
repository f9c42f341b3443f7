#pragma once

// The options record of the organisation database and the data kind.
void A_org_lesen();
// True when the options row was stored; a failure is logged.
bool A_org_update();
