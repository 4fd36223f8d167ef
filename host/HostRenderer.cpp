#include "HostRenderer.h"

#include "HostLayout.h"

#include <cstring>
#include <d3d9.h>
#include <map>

namespace {

struct Decal {
    float x;
    float y;
};

struct MapTarget {
    IDirect3DTexture9* texture;
    IDirect3DSurface9* surface;
    size_t decalsDrawn; // of its owner's decals
    const void* owner;
};

// Pre-transformed, coloured and textured.
struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
    float u, v;
};
constexpr DWORD kVertexFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

IDirect3DDevice9* device = nullptr;
IDirect3DTexture9* decalTexture = nullptr;
std::map<const void*, MapTarget> targets;
std::map<const void*, std::vector<Decal>> decalsOf;

const void* ReadOwner(const void* map) {
    const void* owner;
    std::memcpy(&owner, static_cast<const uint8_t*>(map) + kMapOwner, sizeof owner);
    return owner;
}

D3DCOLOR FromRgba(uint32_t rgba) {
    const uint32_t red = rgba & 0xFF;
    const uint32_t green = (rgba >> 8) & 0xFF;
    const uint32_t blue = (rgba >> 16) & 0xFF;
    const uint32_t alpha = rgba >> 24;
    return D3DCOLOR_ARGB(alpha, red, green, blue);
}

bool MakeDecalTexture() {
    if (FAILED(device->CreateTexture(kDecalTexturePixels, kDecalTexturePixels, 1, 0, D3DFMT_A8R8G8B8,
                                     D3DPOOL_MANAGED, &decalTexture, nullptr))) {
        return false;
    }
    D3DLOCKED_RECT locked;
    if (FAILED(decalTexture->LockRect(0, &locked, nullptr, 0))) {
        return false;
    }
    const float centre = kDecalTexturePixels / 2.0f;
    for (unsigned y = 0; y < kDecalTexturePixels; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch);
        for (unsigned x = 0; x < kDecalTexturePixels; ++x) {
            const float dx = x + 0.5f - centre;
            const float dy = y + 0.5f - centre;
            row[x] = dx * dx + dy * dy <= centre * centre ? 0xFFFFFFFFu : 0x00000000u;
        }
    }
    decalTexture->UnlockRect(0);
    return true;
}

// Every draw blends, and takes colour and alpha as texture × vertex colour (or
// the vertex colour alone), point-sampled: so filtering cannot blur a check.
bool BeginDraw(const void* map, bool textured) {
    const auto found = targets.find(map);
    if (device == nullptr || found == targets.end()) {
        return false;
    }
    device->SetRenderTarget(0, found->second.surface);
    device->BeginScene();
    device->SetFVF(kVertexFormat);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetTexture(0, textured ? decalTexture : nullptr);
    const DWORD operation = textured ? D3DTOP_MODULATE : D3DTOP_SELECTARG2;
    device->SetTextureStageState(0, D3DTSS_COLOROP, operation);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, operation);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    return true;
}

// The half-pixel offset puts each pixel's centre on the quad's texel grid.
void Quad(float x0, float y0, float x1, float y1, D3DCOLOR colour) {
    const Vertex corners[4] = {{x0 - 0.5f, y0 - 0.5f, 0, 1, colour, 0, 0},
                               {x1 - 0.5f, y0 - 0.5f, 0, 1, colour, 1, 0},
                               {x0 - 0.5f, y1 - 0.5f, 0, 1, colour, 0, 1},
                               {x1 - 0.5f, y1 - 0.5f, 0, 1, colour, 1, 1}};
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, corners, sizeof(Vertex));
}

} // namespace

bool StartRenderer(std::string& failure) {
    if (device != nullptr) {
        return true;
    }
    HMODULE d3d9 = LoadLibraryW(L"d3d9.dll");
    using Create = IDirect3D9*(WINAPI*)(UINT);
    const Create create =
        d3d9 == nullptr
            ? nullptr
            : reinterpret_cast<Create>(reinterpret_cast<void*>(GetProcAddress(d3d9, "Direct3DCreate9")));
    if (create == nullptr) {
        failure = "d3d9.dll or its Direct3DCreate9 is missing";
        return false;
    }
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"StandInHostRenderer";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"stand-in host", WS_OVERLAPPEDWINDOW, 0, 0,
                                  kMapPixels, kMapPixels, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) {
        failure = "no window could be made: under Wine, Direct3D 9 needs an X display (is DISPLAY set?)";
        return false;
    }
    IDirect3D9* direct3d = create(D3D_SDK_VERSION);
    if (direct3d == nullptr) {
        failure = "Direct3DCreate9 gave no object: under Wine it needs an X display and OpenGL";
        return false;
    }
    D3DPRESENT_PARAMETERS present{};
    present.Windowed = TRUE;
    present.SwapEffect = D3DSWAPEFFECT_DISCARD;
    present.BackBufferFormat = D3DFMT_UNKNOWN;
    present.BackBufferWidth = kMapPixels;
    present.BackBufferHeight = kMapPixels;
    present.hDeviceWindow = window;
    // The x87 control word stays the host's: the clear takes 1.0 from its stack.
    if (FAILED(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE, &present,
                                      &device))) {
        device = nullptr;
        failure = "CreateDevice failed";
        return false;
    }
    if (!MakeDecalTexture()) {
        failure = "the decal texture could not be made";
        return false;
    }
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    return true;
}

bool RendererStarted() {
    return device != nullptr;
}

void GiveMapATarget(const void* map, uint32_t argb) {
    MapTarget target{};
    if (device == nullptr ||
        FAILED(device->CreateTexture(kMapPixels, kMapPixels, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                     D3DPOOL_DEFAULT, &target.texture, nullptr))) {
        return;
    }
    target.texture->GetSurfaceLevel(0, &target.surface);
    device->ColorFill(target.surface, nullptr, argb);
    targets[map] = target;
}

std::vector<uint32_t> MapPixels(const void* map) {
    std::vector<uint32_t> pixels;
    const auto found = targets.find(map);
    IDirect3DSurface9* copy = nullptr;
    if (device == nullptr || found == targets.end() ||
        FAILED(device->CreateOffscreenPlainSurface(kMapPixels, kMapPixels, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                   &copy, nullptr))) {
        return pixels;
    }
    D3DLOCKED_RECT locked;
    if (SUCCEEDED(device->GetRenderTargetData(found->second.surface, copy)) &&
        SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        pixels.resize(kMapPixels * kMapPixels);
        for (unsigned y = 0; y < kMapPixels; ++y) {
            std::memcpy(&pixels[y * kMapPixels], static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch,
                        kMapPixels * sizeof(uint32_t));
        }
        copy->UnlockRect();
    }
    copy->Release();
    return pixels;
}

std::vector<uint32_t> DecalTexels() {
    std::vector<uint32_t> texels;
    D3DLOCKED_RECT locked;
    if (decalTexture == nullptr || FAILED(decalTexture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) {
        return texels;
    }
    texels.resize(kDecalTexturePixels * kDecalTexturePixels);
    for (unsigned y = 0; y < kDecalTexturePixels; ++y) {
        std::memcpy(&texels[y * kDecalTexturePixels],
                    static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch,
                    kDecalTexturePixels * sizeof(uint32_t));
    }
    decalTexture->UnlockRect(0);
    return texels;
}

void CollectDecal(void* character, float x, float y) {
    decalsOf[character].push_back({x, y});
}

void ForgetDrawings() {
    for (auto& [map, target] : targets) {
        target.surface->Release();
        target.texture->Release();
    }
    targets.clear();
    decalsOf.clear();
}

void DrawQuad(const void* map, int x0, int y0, int x1, int y1, uint32_t argb) {
    if (BeginDraw(map, false)) {
        Quad(static_cast<float>(x0), static_cast<float>(y0), static_cast<float>(x1), static_cast<float>(y1),
             argb);
        device->EndScene();
    }
}

void RendererSetRenderState(uint32_t state, uint32_t value) {
    if (device != nullptr) {
        device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(state), value);
    }
}

void RendererSetBlendFactors(uint32_t source, uint32_t destination) {
    if (device != nullptr) {
        device->SetRenderState(D3DRS_SRCBLEND, source);
        device->SetRenderState(D3DRS_DESTBLEND, destination);
    }
}

void RendererDrawDecals(const void* map, uint32_t rgba) {
    if (!BeginDraw(map, true)) {
        return;
    }
    MapTarget& target = targets[map];
    const void* owner = ReadOwner(map);
    if (owner != target.owner) {
        target.owner = owner;
        target.decalsDrawn = 0;
    }
    const std::vector<Decal>& decals = decalsOf[owner];
    for (; target.decalsDrawn < decals.size(); ++target.decalsDrawn) {
        const Decal& decal = decals[target.decalsDrawn];
        const float x = decal.x * kMapPixels;
        const float y = decal.y * kMapPixels;
        Quad(x - kDecalRadius, y - kDecalRadius, x + kDecalRadius, y + kDecalRadius, FromRgba(rgba));
    }
    device->EndScene();
}

void RendererClearMap(const void* map) {
    if (BeginDraw(map, false)) {
        Quad(0, 0, kMapPixels, kMapPixels, kClearColour);
        device->EndScene();
    }
}
