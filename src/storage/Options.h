#pragma once

// The options record of the organisation database and the data kind.
void A_org_lesen();
void A_org_update();
