#include "pd/identity.h"

#include <utility>

#include "pd/identity_tables.h"

namespace pd {

namespace {

struct ProductTypeVdo {
    const char *type;     // the JSON "type"
    const Layout *layout; // null: shown as it stands, not decoded
};

constexpr ProductTypeVdo passiveCable{"passive_cable", &passiveCableVdo};
constexpr ProductTypeVdo activeCable1{"active_cable_1", &activeCableVdo1};
constexpr ProductTypeVdo activeCable2{"active_cable_2", &activeCableVdo2};
constexpr ProductTypeVdo vpd{"vpd", &vpdVdo};
constexpr ProductTypeVdo ufp{"ufp", &ufpVdo};
constexpr ProductTypeVdo dfp{"dfp", &dfpVdo};
constexpr ProductTypeVdo pad{"pad", nullptr};
constexpr ProductTypeVdo ama{"ama", nullptr};

// The product-type VDOs an ID header calls for, in the order they follow
// the product VDO. A partner that is both a UFP and a DFP sends its UFP VDO,
// a zero pad and its DFP VDO.
std::vector<ProductTypeVdo> expectedVdos(std::uint32_t idHeader, IdentitySide side)
{
    const std::uint32_t productType = bitsOf(idHeader, 29, 27);
    if (side == IdentitySide::cablePlug) {
        switch (productType) {
        case 3: return {passiveCable};
        case 4: return {activeCable1, activeCable2};
        case 6: return {vpd};
        default: return {};
        }
    }
    std::vector<ProductTypeVdo> vdos;
    const bool ufpVdoSent = productType == 1 || productType == 2;
    const std::uint32_t dfpType = bitsOf(idHeader, 25, 23);
    const bool dfpVdoSent = dfpType >= 1 && dfpType <= 3;
    if (ufpVdoSent) {
        vdos.push_back(ufp);
    }
    if (productType == 5) {
        vdos.push_back(ama);
    }
    if (dfpVdoSent) {
        if (!vdos.empty()) {
            vdos.push_back(pad);
        }
        vdos.push_back(dfp);
    }
    return vdos;
}

void addReserved(DecodedProperty &property, const DecodedObject &object, const std::string &where)
{
    for (const std::string &reserved : object.reserved) {
        property.notes.push_back(where + ": " += reserved);
    }
}

// A cable claiming EPR must carry 50 V and 5 A.
void checkEprClaim(DecodedProperty &property, const char *what, std::uint32_t vdo)
{
    if (bitsOf(vdo, 17, 17) == 0) {
        return;
    }
    if (bitsOf(vdo, 10, 9) == 0) {
        property.notes.push_back(std::string(what) +
                                 " claims EPR mode capable with a 20 V maximum; EPR needs 50 V");
    }
    if (bitsOf(vdo, 6, 5) != 2) {
        property.notes.push_back(std::string(what) +
                                 " claims EPR mode capable without 5 A; EPR needs 5 A");
    }
}

} // namespace

DecodedProperty decodeIdentity(const std::vector<std::uint32_t> &vdos, IdentitySide side,
                               const VendorLookup &vendors, Views views)
{
    DecodedProperty property;
    if (views.json) {
        property.json = Json::object();
    }
    if (vdos.empty()) {
        if (views.words) {
            property.lines.push_back("no VDOs");
        }
        property.notes.push_back(
            "holds no VDO; a Discover Identity answer starts with an ID header");
        return property;
    }
    const bool cable = side == IdentitySide::cablePlug;
    const std::uint32_t idHeader = vdos[0];
    DecodedObject header =
        decodeObject(idHeader, cable ? cablePlugIdHeader : partnerIdHeader, Json(), views);
    const std::uint32_t vendorId = bitsOf(idHeader, 15, 0);
    const std::optional<std::string> vendorName = vendorNameOf(vendors, vendorId);
    if (views.json) {
        header.json["vendor_name"] = vendorName ? Json(*vendorName) : Json(nullptr);
        property.json["id_header"] = std::move(header.json);
    }
    addReserved(property, header, "ID header");

    DecodedObject product;
    if (vdos.size() >= 3) {
        product = decodeObject(vdos[2], productVdo, Json(), views);
    }
    if (views.words) {
        std::string first =
            std::string(cable ? "Cable plug" : "Partner") + ": vendor " + hex16(vendorId);
        if (vendorName) {
            first += " (" + *vendorName + ")";
        }
        if (vdos.size() >= 3) {
            first += ", " + product.headline;
        }
        property.lines.push_back(first + "; " + header.line());
    }

    if (vdos.size() >= 2) {
        DecodedObject certStat = decodeObject(vdos[1], certStatVdo, Json(), views);
        if (views.json) {
            property.json["cert_stat"] = std::move(certStat.json);
        }
        if (views.words) {
            property.lines.push_back(certStat.line());
        }
    }
    if (vdos.size() < 3) {
        property.notes.push_back("holds " + std::to_string(vdos.size()) +
                                 " VDOs; a Discover Identity answer has at least 3");
        return property;
    }
    if (views.json) {
        property.json["product"] = std::move(product.json);
    }

    const std::vector<ProductTypeVdo> expected = expectedVdos(idHeader, side);
    Json typeVdos = views.json ? Json::array() : Json();
    for (std::size_t i = 3; i < vdos.size(); ++i) {
        const std::size_t index = i - 3;
        if (index >= expected.size()) {
            if (views.json) {
                typeVdos.push_back(Json{{"type", "unexpected"}, {"vdo", hex32(vdos[i])}});
            }
            if (views.words) {
                property.lines.push_back("Product-type VDO " + std::to_string(index + 1) + ": " +
                                         hex32(vdos[i]) + " (not called for by the ID header)");
            }
            continue;
        }
        const ProductTypeVdo &kind = expected[index];
        Json json;
        if (views.json) {
            json["type"] = kind.type;
        }
        if (kind.layout == nullptr) {
            if (views.json) {
                json["vdo"] = hex32(vdos[i]);
                typeVdos.push_back(std::move(json));
            }
            if (views.words) {
                property.lines.push_back(
                    std::string(kind.type == pad.type ? "Pad VDO: " : "AMA VDO: ") +
                    hex32(vdos[i]));
            }
            continue;
        }
        DecodedObject object = decodeObject(vdos[i], *kind.layout, std::move(json), views);
        if (views.json) {
            typeVdos.push_back(std::move(object.json));
        }
        if (views.words) {
            property.lines.push_back(object.line());
        }
        if (!object.reserved.empty()) {
            addReserved(property, object, "product-type VDO " + std::to_string(index + 1));
        }
        if (kind.layout == &passiveCableVdo) {
            checkEprClaim(property, "the passive cable", vdos[i]);
        } else if (kind.layout == &activeCableVdo1) {
            checkEprClaim(property, "the active cable", vdos[i]);
        }
    }
    if (views.json) {
        property.json["product_type_vdos"] = std::move(typeVdos);
    }
    const std::size_t present = vdos.size() - 3;
    if (present < expected.size()) {
        property.notes.push_back("the ID header's product type calls for " +
                                 std::to_string(expected.size()) + " product-type VDOs; " +
                                 std::to_string(present) + " present");
    } else if (present > expected.size()) {
        property.notes.push_back(
            "holds " + std::to_string(present - expected.size()) +
            " more product-type VDOs than the ID header's product type calls for");
    }
    return property;
}

} // namespace pd
