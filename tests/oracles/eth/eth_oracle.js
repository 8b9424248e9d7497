// Independent Ethereum oracle for the eth add-on tests (ethers, pinned in
// tests/oracles/package.json and installed by scripts/setup). Reads one JSON request per
// line on standard input and writes one JSON answer per line:
//   {"op":"addr","pub":"0x02.."}                          -> {"address"}
//   {"op":"erc20","to":"0x..","value":"0x.."}              -> {"data"}
//   {"op":"tx","pri","nonce","gasprice","gaslimit","to","value","chainid"}
//        -> {"unsignedhash","raw","hash","data"} of the signed legacy
//           transaction; chainid 0 signs without a chain id (v = 27/28). With
//           "erc20":{"token","to","value"} it is a token transfer: sent to
//           the token contract, value 0, data the transfer(address,uint256)
//           call.
"use strict";
const { ethers } = require("ethers");

const transfer = new ethers.Interface(["function transfer(address to, uint256 amount)"]);

function answer(req) {
  switch (req.op) {
    case "addr":
      return { address: ethers.computeAddress(req.pub).toLowerCase() };
    case "erc20":
      return { data: transfer.encodeFunctionData("transfer", [ethers.getAddress(req.to), BigInt(req.value)]) };
    case "tx": {
      const erc20 = req.erc20;
      const data = erc20 ? transfer.encodeFunctionData("transfer", [ethers.getAddress(erc20.to), BigInt(erc20.value)])
                         : "0x";
      const tx = ethers.Transaction.from({
        type: 0,
        nonce: Number(BigInt(req.nonce)),
        gasPrice: BigInt(req.gasprice),
        gasLimit: BigInt(req.gaslimit),
        to: ethers.getAddress(erc20 ? erc20.token : req.to),
        value: erc20 ? 0n : BigInt(req.value),
        data,
        chainId: BigInt(req.chainid),
      });
      const key = new ethers.SigningKey(req.pri);
      tx.signature = key.sign(tx.unsignedHash);
      return { unsignedhash: tx.unsignedHash, raw: tx.serialized, hash: tx.hash, data };
    }
    default:
      throw new Error("unknown op " + req.op);
  }
}

const lines = require("fs").readFileSync(0, "utf8").split("\n").filter((l) => l.trim() !== "");
process.stdout.write(lines.map((l) => JSON.stringify(answer(JSON.parse(l)))).join("\n") + "\n");
