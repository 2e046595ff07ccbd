// Known answers that pin the wire: the key streams of a fixed day, a message
// block of a fixed text and noise, and a certificate written at a fixed time.
// The nodes and the access tester run the same scrambler, so any change of
// layout, key or generator must fail here before it fails against them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/session/certificate.h"
#include "core/session/day_key.h"
#include "core/wire/key_stream.h"
#include "core/wire/number_generator.h"
#include "core/wire/scrambler.h"
#include "platform/clock.h"

namespace morbs {
namespace {

namespace fs = std::filesystem;

constexpr int64_t noon_2026_03_15 = 1773576000;  // UTC
constexpr uint32_t message_key_2026_03_15 = 4559671;
constexpr uint32_t certificate_key_2026_03_15 = 5736619;

constexpr std::string_view request_text =
    "OP=listfiles&SUB=chg&DISK=accounts&FN=1773576000123456789:a.txt&ID=12345678903&"
    "CURRNEW=locked&";

// Fixed noise of the message block: fill after the text, mask of every pair.
MessageNoise fixed_fill() {
  MessageNoise n{};
  for (size_t i = 0; i < n.size(); ++i) n[i] = static_cast<uint8_t>(1 + (i * 37 + 11) % 254);
  return n;
}
MessageNoise fixed_mask() {
  MessageNoise n{};
  for (size_t i = 0; i < n.size(); ++i) n[i] = static_cast<uint8_t>(1 + (i * 101 + 7) % 254);
  return n;
}

std::vector<uint8_t> from_hex(std::string_view hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  return out;
}

// The stream every block is coded with, as the process keeps it.
std::vector<uint8_t> kept_stream(uint32_t key, size_t count) {
  const auto stream = key_stream(key, count);
  return std::vector<uint8_t>(stream->begin(), stream->begin() + static_cast<std::ptrdiff_t>(count));
}

constexpr std::string_view message_stream_hex =
    "7fd211dcab83d062f122451f8090e7ad76d029bc1e4b3742e49b83820c3ae47b"
    "df77cdaf6ce9ca2e34fda4a523a5d6ce0e27f3346a378d26d186ead4461dbb81"
    "2bec646193af80c882b14faf7cf3763925a679e5aa60ab0f64f300d2192cd184"
    "40eca99b19ca4a2ff8aaa0bdc5473e14510a57ad68d1b2089851931389bd8008"
    "0e407414c9d2864625feb5624d57544d8c57958fe4f3c289d0953bd9c8df9110"
    "27bf12a9d67dcc33bfcab9498330b8ef128ce3da7717d27bdd9f466d1c91ba6b"
    "e1d1c33ab93d987520b535c66e5bfa8ee044f0c188c2ac80df11dac0d66a27ce"
    "a83ee58a179e054c9e88ac960742e531261550c40d26a40053da3f498a5a943a"
;

constexpr std::string_view certificate_stream_hex =
    "4b510c435733978e385d26c9f43758704f41bb53536ab5d1d9b65866e8bac44b"
    "ebe80359705531522b1f1ce43fe6595e87d6a42a94d47912f948fa2beb5bec40"
    "c57a7eb2886457df0e5e6e553ec1df6a239bd97cc8a4b98b0c7687cdc4eefa61"
    "fdf43c7856dd542810242910c45b776c55a9825854f8650d88f99fc369152c8f"
    "bc62b7d4e1c48ab072606ead7b34464f0f5c007e8ea6bcead1abe11dea49ad97"
    "36323bd34fda0aa427b89ab8c2e69edeb492c085d42ab672a96c0309516c7cf8"
    "d0a5cba6e76871a8a5c0a2345b7e41300d22633caa69c26e252417975db65e2e"
    "44430b86cf424b8ced184a71b5049f9739cf8ec7524bf2363320117540494078"
    "582df8289c7542d8abd01a91dfe41bd37a9f428ba97985fc645d8e2844246e9a"
    "0e571f12d654f2729ce8681fb8171521ab94845e5083f26338a9f3a453c60d60"
    "d76fe68d0dae4b0cd9f1b49dd2c51fc32c76819f68bf05154187c71e9f4c3def"
    "0bad956e2228acd3db02780d98c685cc2a90a9b467229c99db050fa8d955af05"
    "c7c839570b918ad81cb8635a7ca1fba18fc749aee3a58b7f6939ea70ae9a1257"
    "2623e51f07e6e2fc32a4c1c0a225a038c3d72bdc89059cb8da0fc151656acc47"
    "cec0de7c8f9d1325722d885bbd6f78132e5969b69872e0d8777f6edaa767294b"
    "fa6b394bacfd60ad20b0a635a5adb1880d8742fa2802e00b277a293a008135e9"
    "78edba2d9e2f33763a5379cbcb42cdcefd79a1e1b1adaed14bcedfe6b3296c74"
    "68a0fb8f26ab7d81e0f23eb1c4759aeab91acd4736a65af593778676a7151bc4"
    "32a037c462d3eb976bd19c073059347a1d01b1c76f282b7627e4e975078b501c"
    "05183bea2b5ae9efe9c15f8ece628fe6cd8129918bf8e90c205489153c440247"
    "7a387b0e59a633399007c2756b4257a556f5db1f8afefa882c07f7d7efe33092"
    "3450101b75c682fb5c5728f272a92a237fe3402c76fc12d290b01e153907992c"
    "d111e04a07a98370c96d83e265a5097920527662170989a81261ffdd40ab9a7e"
    "e2f5334f41d1514288c139dd67d45606aaa83b4633bcd719bd6e1054eedd4a34"
    "00c430c1d4efc490dd39a03f4cd2bb96a7467b563f12111ee019f3a2eb112a24"
    "09c6b45a8a8ed164e8052d1979354675eafbc51bc27b19b3147dc34f09f399d9"
    "986ce8fa0e9ce6ccc873525d7152d7a3dbfe7ad4c61872daa5d64c082afb2ba1"
    "49ebf7468a24564f9304c3a85a284f7139e42f514d25566b63b939c3aa94b2db"
    "2090724211121ff1490c39c48456eb65810cf4ddaa0530eae0a6c6dc82fcb1ba"
    "50b21151ed9db31fd81adc61bb3241a2a673809194595e3c82fe107fe93abc0c"
    "6b944dce133122828c603c9e5f04bb71eb0b5ca830ecd97f178326ef700529cd"
    "f833a20055c0f6f68960469d41c433063358beebc4c8d8c864e96531cb7c036d"
    "fa332c99b35f9ef142094bcb41a099b4f0d44a0c7e0f0d9adf6fb0299ee5a251"
    "06646e488e330adc22bae4614262a0cc8c9c8407624d35aadd3d035dbacb41eb"
    "ed6230800f783377076abcaeafb6cd81455f5f351fe89cb7f157146d7a463042"
    "4bf299d44411e08a3997f425266ed497a4568f9bb5b414c57680e88b2d2aae5d"
    "be7e0d5fdd31e29db1933446ef80782042da90ab4fed670676c7d91d95533cfc"
    "80ea18774e407a5b9387b73225073578be28b70dc12945a7d902e276be115913"
    "29bf47372940b547ffd6247e74af388b6df1442e973f6867f91edec00b0c7b16"
    "9c83dc8881db02bea8ffcdaaa05858576a7b5cdd75041cecab8fbb5b9d0ec8a6"
    "d725bf547954dbfe78ed94a507272cbcd202067d38e02b5311db12817b104521"
    "49a6fb28c45c5a31aeec0dbbfb7c4576874f20459bc3094f6a8c64bd12de1bac"
    "805f86151cc4d70316f82c6f0651de3ae3e17911a9fc82820ba8f3fc1b687d5b"
    "85c17f8586ff7e7d3d2f6c59c32e39f2727b6f8e50e7b6e7f3255a4320ef20b8"
    "ecc91000e232d99180261b055d2a3ce56c2e2cfa3a936083939d26064cb5946e"
    "9e20ea6ce964d18164976fea21588ee01451a37c395fffb8db1e9df810c5fc38"
    "efd492167689cc9833485c63e57c784af8b5b0a1a8efdb6d48cf94d961ec7d2e"
    "996a1e374b366c1beaaa751a396ef810c870ef5f9afc2bdc9aadfe788556edc7"
    "a3f3258356c29fd32aa7f1f60e164b084b697fdc3ae1315b1bed6ab647719428"
    "7a413da092c4c114aef8fb3162a54eb6837798559b8e439fc0f0ecce0a416bb7"
    "ec616af2ba98899f321952c8a960fd0dce798c9bc3ba9e3a0f912e45b31e4797"
    "4cd246167094eedd0f26a87eabfbc7b4a89884134378edbe90b3b7dfd4ca874d"
    "a9c1e375f644ed0ab747304e234a6b04bc2a755a0faee88788b7be55945c4a04"
    "f35627745d288cf883b5d094a9d49e135c88a667033fd49643d61e4e856fd6bc"
    "453d0b4612234965f7645b6adf8ba7ba8b7cb1e160a0d1766264c1779961ff65"
    "d9a85ec6a9c44414f1f1d9fba5b109ff7d4dd6848deb2a374c0a35b8226b5fa1"
    "2c214a014201ec41e5c7ccfceec1c0c5c30695d9fb69c9b83b39f58cd08bdfeb"
    "fe2b6c351887eba923e49ae88dcc1ac86974b24c68c31126990851a87584aff7"
    "5aa48107317c90cd3b7e0d2a2539f51b4623c504fcad1ee7a2dfa8ecde569c9a"
    "d5fd4c23a2a5ea443271dcb3905f28ac0e7f8e17413c48de26731a0e772ecf6d"
    "daa16835b17d1a223df8724098765f348c5110b15026ad676f77f65accf157aa"
    "c62f68f26b5131a68025f115fd92810fab3a64ce624bf433c965a43b3fbfd077"
    "0fed0425681e46f2cb7efd08330a006d7145faad072ff751b00c7dd6606c2b15"
    "0c94dccc6fd527b66aa3e238d66ef96fe63f3b2938d49e453e8980c3bc659cb2"
;

constexpr std::string_view message_block_hex =
    "47773dbfefc355e5f73576861ebaa9ad5fc7f7b967471478ea4c60a3cd7fbf50"
    "5912aa195819f229dce4252a8ff17e6fd976ca6c3fdda0414926e0b581103520"
    "b41f5450aa41b75e1634805415eebea7d9da66a88f1e1684b0a5db4e62848779"
    "2f10b1a4db1b7b7b81de2d2cb70dddc3759d8b3779f253a996a43154da153394"
    "33519b337b229aca208144d8e85c768b9e2a38be4c3be076703c96562a7a3248"
    "83f36f9bf0db47ec2bc484b30791f39069620898bbd052e5f885252f68b92c49"
    "3c74b475ac5712fe56d3f0fb70dcf6d4509a906d528e322e3e3db418d6fa1c3f"
    "ccc174fffa0b0a6cd8409a5cce40385138268e745a191afc4adffa0644a20c8f"
    "5ce2861342cc3e0bc24d823bc0d600f3c639807fc053062fc2ff8c4ec42a3cae"
    "4cc684f846830ef47a04f8b4486e189a48a888483e7f3670d4d89caaca4b7451"
    "fc8172b2d6601e7ed0e8b6de30c6305c506b92f16e19f44e76efeee15c801472"
    "aa16bae5362d2aefdeed6816e8b478b0eaef6a08d8ba2a0ea6d4bcbe2c2e2492"
    "6481ec1462efe2ab6e4fe060205a205ca0aea046226f2279e4486cd0fe0a64d9"
    "e45c5e672a782a2cb8dcaa7b188cd8056835f6407a6cecdd9a54da8d2c69347d"
    "b6b2ae41120156c1f2a77089f07950ad9ed6562536b83eefb2d9d4071c4fca20"
    "7450fcce0e12d6639803c855387c383f88f75ad1064f4e9cfcb644fb049c5c57"
;

constexpr std::string_view certificate_file_hex =
    "767af7f2da9f2c22bcae4e40e1479a23c4cbf6988e9dca3410d22027dcb43e7e"
    "96ff2632758790874a4926135da463fd8f15f47f25085c49109d89418d799be1"
    "6ea3e75aafe5d4c91838f8f2d8aafee94a2fd5f7ee9a66ed632f5bc949201e71"
    "59f874a28db7dd0e61423bfb4916ebaaa4ef64b61390d90185a27450ea4c347f"
    "f2d12d80c642b0c907c6bbabec315fc941bcc6f21c39110d3518e921a59134ec"
    "cb91e7eeefff06269b9aaef91f4204a06845a6d985832b0384be3ed12f85f33d"
    "f98496446fa644ca01fbfd16110e00a2526a55799bcdfd4a3454b6348816069c"
    "e19cf082fd8be974f220bccf8b1ff55d0478f27fcfb04026de5f59b8ef1ed9cc"
    "4642039a99c777a89686a7d418c4110d6cd2680ff9cdfb79ccb2f8f003b341b6"
    "1be91aa072704184b44ab76a4e04f8198bc14babc90314b20008af0051446566"
    "0349c239922d4961bafd068afe2e7a3af726365c98732bc103955954eb8ff084"
    "7d4fe119a09ada1cebfb6f9c47e1d054145f805e0af0661394a41b905a8fb0f0"
    "21f92e85f94c535c5cf5b53aa8a31a4c4b43df6cdbdc73f04be622bac62b98a0"
    "c26c6b26311c80b8ad7e415831f52eecfaa36136761eba6408b5fdb385cab034"
    "8688f1092fa4ea97ae9f4fa900a3760a2b6902982e9a8b8c9cdf03055c53be99"
    "2110f3caf5d8efc3021e38ed334a4f7e72611503f520291f4f9b86f178cbd989"
    "6e8108667b8437af116837ef22fad03efb43ffd5e8e4b6cbe86d1920b5857c29"
    "2c9869f4e3b52639a9cbcd06dd4cff89c06086094c0994e48dda7bcf426fe47a"
    "427d74775e1b1c68047186b2dca574d4f49afeabe65e40a725e2b7e47695af35"
    "0e3ff143a0d9aba5ceb8c1e59858b3d2dd17710c411e9a0fd9c3934741270168"
    "afa80e4b3ab613997c55ee30b6a1ffab73f8213887cd25bbaae336d5e1adde8d"
    "15b2ad92ed675ec84acbbee917af8163e74a48770ac5b1f8ab64702a55122b7f"
    "71dfcabd15070598945670d82106846107018202e0e26393df6f0977a02cd147"
    "72aba1415cf4cbb60dae6bec3df325038a25e01677042a87ea312a29d9479cc9"
    "0acf8b326c9c32660b6a1cd8ad5ea12fe14a223e7ca78cbc30b6f6d1ad826c3b"
    "91da727055d9b2e06a40b41701706084251fb8caab118afba03005284c487856"
    "6572f22af5167e851f1d052f7de0315d00c1219658b2ef3e8920bd378c53f38f"
    "e9c2bf9ed07ffa3489a6b9bd8c2eddcea18c7ac3d21a25592107514133b57463"
    "be6492e95d6f35d0d42a7816e95b6fcc6b0fe6f98cf27a77034b1f33829a0bae"
    "94eaa1ae54d4d1c03ed09a9ebac05058ff9eac0902fc00866fc8ea0792af0c79"
    "e9478a126743e02b87d514519857a7fb3f0fda144feee37fd0f5d98281c44bba"
    "56e045b11173694823006192da31b7c59446ff632520ba689bb2712b93e55742"
    "6a9437a343ae562be778f4d20e99a8f75c16ad0f3e53c802c22f7f3b09de55e6"
    "2d3942c86978cd079031cbb09bd37afd9cac062418ac88c967c9c7c1327e8705"
    "7ddf4e7a636f036a0f2fa208b334e528926be0c42662c4d1ee7618428872762e"
    "be43942d3d04801d3362f7511c167c9f1ac05d6456b15c807b21c5ba7e2cf0ef"
    "5f9b15f68585a9bd5942acf5d0cba295ca4781d640084f49ebd9a4ab1c1e15d0"
    "36b850076680eaf6bf50f1902904f875364668c2738e168f46fe79e12b7f2d50"
    "feff18f086ddaeede03f615cacfad3c57c6e27c738f95e1460f2f263d5876d6d"
    "ec4bdb80302e4ddf54d10b459b90ca3bae369de9c9a6350fd51350a2287ea0e0"
    "0cc1c63a6be2074a53ae8358fd3548bf00fa7f28237f33bcd9623c516af45689"
    "82d083a21cddb4db6b9e130d29d70ad21ef6898502a5f20a3471677994496ae8"
    "a3e949c0537253eb03ecf8c467f7d4eb0ffc8461ea2a0302c1c01e44121b2808"
    "2e85ff9cb5bb4e2c92d3b5d37095a8b3d27061b3d61c393d621545b518d3840d"
    "b1863af90a193bb459ec7841ca34e7627e42c15ad8a88912ec59e9df173e046d"
    "38e4192b458b3f00055b2ba5e46fa7a97c986d3da8136bc959cb1e5376f8fa79"
    "9b5a7181ab3b23856ce4352be7a2dae98d5f93214a53cf78f29057b5071de186"
    "a1094e10a689918ff1d8980730fd54277d54bce59b8a40a446bc8d140c1a13d3"
    "e17b30e73cf4b9bd4e9ab8fc0e5e7fba7e7e6e2becb6cdc51accbd4241da1f60"
    "0647036e29ab3137d3162532485fb94e88341f1b788ae19301f9813156898939"
    "e40b00ac0eb270950f739d8a1248449212f87071ead30b51c477df252d166c83"
    "a8c0df701245f61e873c4b82a2ed522de700f38c74a5df83a897fd6985ed5f2a"
    "aab3dc9f2d4ee8de7bc2030c571518e36eda7ff5cba67eb998b5b735d4f85011"
    "67dcb737a59c5ac0e13e6ebc4dd9fb62cd6a738a9b2d654bfa6180b2269946c1"
    "3e7f9827b433a4b5d4e10604c73079ec74acf454d7ea2bfa5b7583198eea8f16"
    "932a8df97f3f6195fdb365357f3d4860e5cfc586006946078656caaafa8cda36"
    "ce22bda7b47011520a3009470e6e4c5d9fb73dc8458b020de324bb79939ee152"
    "27a102eb7ddbce8aa8a18378b1e1837a7c17ce216ff17989a3d76e9772b94995"
    "ef25fa69c40125b8f8220b30f31071cb39716e656f1745ff404900e22f885795"
    "ef69f175bf364958c17dd8a74a15197fcf89e1515fb95a718933bb3321b2efe1"
    "32680cb7bfbbebaf7bda27cb56b14cdeb0a78bca839f524ebfabe032f8ab9661"
    "9d7810914d96cee1e241c01e82af79b4fa8d2dbda0707c11dbaa6c9f6d8d8d33"
    "91451c276239aa8090ccf7e0f05c04a5ebc7d619310a078c1fa42f8ade15cbe0"
    "e31e379c702a225324e2610d73539a1edcce5c1affb5bb3192fab76cca79d949"
    "661cbc2034d12fe667d2330b3737c7dbd4318cd31bc993beb44adf883a89f147"
    "84ea8a75c8b3a4fe9fb4448e2d59a0116e215e6bec5457daf2b616ee75062e50"
    "c5966d02f0cd33e2832d0a3dfe29a26a00b64e1d43fded3415149982d380f6aa"
    "f125210f1b8fce0622f29eff8b2451ac697bf57e0310b30501ab70628fc0520b"
    "0104890de316c9d24ce934d207b2adaa263013ae6ec1475bfa0650e5a547f184"
    "29d14e16f80397a504ee73317c9bade0ff9e6ff6a9cd206e69a1d83f0b32675f"
    "81b9f593c7aedda0ef62181fc41a30f3ba8275324f941d5ea755942d0977731c"
    "aba36cccddc6ecbbbae975f7996b00ea3040ab7b64ebf4b5f2675569633554c7"
    "f838622b96d0fa4ceffb2acd70687d94a0b46e32504befd6df32ade769b15969"
    "5c4a3c5d8c4a05de643b15f082127e816f832fa65b8cd954316fa4aaa64862b5"
    "60b75910378c32c5e81eb0a7da4cdca87694130757126080bdae2623d11abe30"
    "af3af951b841e779ee978e8473b6794efecba4d5104542e6625b014241e9d31d"
    "64392ac3c8f575c4370ae64211d2e18de5dec126262d7078ee04d71964c2fdfd"
    "bfa2ea8b046b0227085b4abb4a495074ff98adfadc8305977cf5101c4237f218"
    "f471bbd324a86abe5b89c5edad0b5d637f725aef4e0175cbee06cc37e802b871"
    "cbd81083347c93fcd5205bfc7d6686ed964ec46de4751fa0eb2a849e89db0741"
    "ca2c6dbed79585d06d137008cd069c9cbdf309ecef2314b75b7d878d49dec4e6"
    "1d60644b0ce3325c6bd315d1d1a0154776f351da9aa567225e81c66d263524e8"
    "b83ddcf1bfef4301c7986925c4cec9feecaa80e716fb91ba7649f68f19ee1159"
    "f1ec6f8b12cbd31d85e78b6725d20d46757ef1c5cb9392974eeeb00c76fdbe14"
    "57376c705181cc1c78651ea605abe308b55d5755954efb96f8000c40bfa57710"
    "05e04b8aa3dd50b5c92bab7dda487bcefb2dc4996cb0cb9bd233f67836d14f10"
    "472fbbdcb35c3e2f63b8baefc7013defbcbdb88477c68ff5b594d37b38b3f875"
    "51d5f647c7613d4a7b9948e18b12f64dbfcc4f97ce26cc865004d039448c6671"
    "35ebcecec4b5c6447a9c5a801ad0b6c1c3e7954003fc779f725c3155a18e4ac5"
    "47ee00e743c507a78fbce12ebcd7f65e1b7894c55ab8ea1636be02315a96e2a0"
    "0169bab2a749e6a5141b9270ba22e3e03082daab83404f6ca87138b0fe78e19f"
    "3d0267f24f675c81450828c10c01ae7ca47146ac7ad90a18d2d4d65bd6fb2fde"
    "a1bcd57e979518e88a10d639f2c840db4fce308c51ff516476c4a8fb2c284219"
    "8382b627e056b641f4c2c20d2e728ca8115e98afe373a57997b827e48587b1b4"
    "deb2583cd103b879ac059b07809f2741d93de0210c8217bfd806940cefe215f8"
    "57c3b7945da4f40f3a53b4cab9c2e1123c113b06e51ec6eab841e5f96e05edc3"
    "6f385716183361472b5d6f59a4610c85ecf1df7e50200ba1919425eea9cd343a"
    "69f476f3bc3176305615f17fff94652e20d7d3091f681f4c0b4fd8e576ea9cec"
    "d88a7e2b3074cb8f006f8d3de1be0dabddc4d710c79b7027357476788bc59ec0"
    "afb2f16487ecbe25833b9f68f6effb9d82280754496ec4044c0896a8dc006b0c"
    "3a4f0fe50023e2144993799f0a5931a0a03203184a72fc7067ae80a9634fbe1c"
    "8f45dc7713d1a7c670efc9bac998369f04e30d986c6dd4ef4427bd43b3ff1bf5"
    "3d985456d8909eb92d56f196f54de6a95869aa4714c2a2013fccea1f72c54e64"
    "57d29ae7e966c8a15af15d33326dd26e492b2f6aabeb9a8f54811b392d6e53a1"
    "723d30eb7661bd2fe090978064e836f6ee4dff4e2c5f4f783fb716592100b5c0"
    "96a140ba2daf84e8ba41485652ea5f8ff283937e3c277e412e4f139802652257"
    "61bb5dae528c630e979261293b510531b8fe1a146b39d5bb56ce223d75cbe139"
    "2c780f53ad1bae64462a1b587240b3352236c23b123e94679bba9f24e92dee73"
    "2eb96ec961f8b06cbbd686f15baf3e7401762e9a0322481c0a5fef6677f006c6"
    "9d7d1668067bee53bc700b502fd5f6910450554be413073e30094d4e99f8d3cf"
    "9e2dd0de60c78d58d8d212e4ccac88b493a6519665c31b9b82dae72fd9fbf60b"
    "fb95b1624ad49b94bc7d4771e8c20aa35d7aab77d445c21b0e5f3ddc4511112a"
    "4664d6276ae98ca22f495b53b78bc66defe37e8fa9bcb6655d05ebf0bbeb3935"
    "c8f2da7012279cdf33cd881fce5d1c3a7b487ef5e912c6486be1241810327a81"
    "ade45056eebe1f21949af13ffa18a40dc037041ee85efb1262746bcdbb65e47a"
    "3aad99ff024c0fe53412b9cd2e6c96a0b42b40d29c21225e28593bde6df3505b"
    "6ca85ff01d0747ecb2d91389ae5c042f9e86aadd0ff06e18873888c8bd7f60df"
    "7cbb1814705e23a041f594644ea62b0041287aff095bdc49bb0e1c1e7be0ac63"
    "85e2b12a3d97c57fb3680f501fd53db021b392e13a7c0e4085a7d6db70c2cba8"
    "500ce7a4ef1ddbe0f40808d490f74ea130d85de1ca28cc245957c77da55b9435"
    "7a8f59a0166e5cc32360a88536d5052516d51b85d9d156694bd111593ddf7bc5"
    "c6d4267eefb3f5317900f8db2f16b180786e5fae0f02095389a779a7f7f0dc0d"
    "c2f0012a81c254405fa4133ef4d112b2b68661f2e98b3eff667711316665a4fe"
    "00623e2bb6d9b3ed7b38ebf43efd4f99271dde7724029828e93a274c3ca53b2d"
    "a0db185f32a425bf7ee34f95a5c21c8f242bafd47252fbc127e995e2f9d625bd"
    "8791cdb6914ddc164e4ed8bd0b07494596a01dc5c65298489bdb7a18a2bb2433"
    "f1a130502a5a5ce4af2c56702c5b44e0e742fcc1bad3f2988a12027af707155e"
    "0b22c24b2b30f3d4926ec01d0334556a55ec6a40e44f01a513bd37d463d21002"
;

class KnownAnswers : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
  }
};

TEST_F(KnownAnswers, DayKeysOfAFixedDay) {
  uint32_t key = 0;
  ASSERT_TRUE(day_key_of(wire::message_key, noon_2026_03_15, key));
  EXPECT_EQ(key, message_key_2026_03_15);
  ASSERT_TRUE(day_key_of(wire::certificate_key, noon_2026_03_15, key));
  EXPECT_EQ(key, certificate_key_2026_03_15);
}

TEST_F(KnownAnswers, KeyStreamsOfAFixedDay) {
  struct Case {
    const char* name;
    uint32_t key;
    std::string_view expected;
    size_t count;
  };
  const Case cases[] = {
      {"message", message_key_2026_03_15, message_stream_hex, wire::message_plain_size},
      {"certificate", certificate_key_2026_03_15, certificate_stream_hex,
       wire::certificate_plain_size},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(kept_stream(c.key, c.count), from_hex(c.expected));
  }
}

TEST_F(KnownAnswers, MessageBlockOfAFixedTextAndNoise) {
  MessageBlock block{};
  code_message_block(request_text, message_key_2026_03_15, fixed_fill(), fixed_mask(), block);
  EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.end()), from_hex(message_block_hex));
}

TEST_F(KnownAnswers, StoredMessageBlockDecodesOnItsDay) {
  platform::TestClock clock({noon_2026_03_15, 0});
  auto bytes = from_hex(message_block_hex);
  MessageBlock block{};
  std::copy(bytes.begin(), bytes.end(), block.begin());
  PlainBlock plain{};
  decodeV1(block, 0, plain);
  EXPECT_EQ(std::string(plain.data()), request_text);
}

class KnownCertificate : public KnownAnswers {
 protected:
  void SetUp() override {
    KnownAnswers::SetUp();
    dir_ = fs::temp_directory_path() / ("morbs_kat_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
    path_ = (dir_ / certificate_file).string();
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
  std::string path_;
};

// The certificate's noise follows the clock, so a fixed clock writes a fixed file.
TEST_F(KnownCertificate, WrittenAtAFixedClockIsTheStoredFile) {
  {
    platform::TestClock clock({noon_2026_03_15, 0});
    std::string message;
    ASSERT_EQ(write_certificate("user01", "host01", message, path_), 1);
  }
  std::ifstream in(path_, std::ios::binary);
  std::vector<uint8_t> written((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(written, from_hex(certificate_file_hex));
}

TEST_F(KnownCertificate, StoredFileReadsOnItsDay) {
  auto bytes = from_hex(certificate_file_hex);
  std::ofstream(path_, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  platform::TestClock clock({noon_2026_03_15 + 3600, 0});
  std::string local, second, message;
  EXPECT_EQ(read_certificate(local, second, message, path_), 1) << message;
  EXPECT_EQ(local, "user01");
  EXPECT_EQ(second, "host01");
}

// Each coder owns its generator: threads coding at once get the answers of
// one coding alone.
TEST_F(KnownAnswers, ThreadsCodingAtOnceShareNothing) {
  const auto expected = from_hex(message_block_hex);
  std::vector<int> wrong(4, 0);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < wrong.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 20; ++round) {
        MessageBlock block{};
        code_message_block(request_text, message_key_2026_03_15, fixed_fill(), fixed_mask(),
                           block);
        if (std::vector<uint8_t>(block.begin(), block.end()) != expected) ++wrong[t];
        MessageBlock live{};
        codeV1("TEST=H00&", 0, live);
        PlainBlock plain{};
        decodeV1(live, 0, plain);
        if (std::string(plain.data()) != "TEST=H00&") ++wrong[t];
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong, std::vector<int>(wrong.size(), 0));
}

}  // namespace
}  // namespace morbs
